#pragma once
// A temporary directory for one test, removed with everything in it.

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <string>

class TestDir {
public:
    TestDir() : dir_(QDir::tempPath() + "/pkeep-test-XXXXXX") {}
    QString path() const { return dir_.path(); }
    std::string str() const { return dir_.path().toStdString(); }
    std::string file(const std::string& name) const { return str() + "/" + name; }

private:
    QTemporaryDir dir_;
};

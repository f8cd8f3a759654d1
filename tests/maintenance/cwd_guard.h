#pragma once
// Runs a test inside its temporary directory, as the program runs inside
// the collection directory, and puts the previous directory back.

#include <QDir>
#include <QString>

class TCurrentDirGuard {
public:
    explicit TCurrentDirGuard(const QString& dir) : previous_(QDir::currentPath()) {
        QDir::setCurrent(dir);
    }
    ~TCurrentDirGuard() { QDir::setCurrent(previous_); }
    TCurrentDirGuard(const TCurrentDirGuard&) = delete;
    TCurrentDirGuard& operator=(const TCurrentDirGuard&) = delete;

private:
    QString previous_;
};

#pragma once
// SHA-256 through the system's crypto library, which uses the processor's
// SHA instructions where it has them: the backups hash every file of the
// collection twice (writing and checking), several times faster so than
// with a portable implementation.

#include <QByteArray>
#include <QString>
#include <memory>

class TSha256 {
public:
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void add(const char* data, qint64 n);
    QByteArray result();  // the 32 bytes; ends the hashing

    // A file's hash; raises Exception naming the file when it cannot be read.
    static QByteArray OfFile(const QString& path);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

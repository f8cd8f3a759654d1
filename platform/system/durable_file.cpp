#include "platform/system/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/base/exception.h"

namespace durable {

namespace {

[[noreturn]] void fail(const char* what, const QString& path, int error) {
    throw Exception(
        QStringLiteral("Cannot %1 %2: %3")
            .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(error)))
            .toStdString());
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

void syncPath(const QString& path, int flags) {
    Descriptor d{::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC)};
    if (d.fd < 0) fail("open", path, errno);
    if (::fsync(d.fd) != 0) fail("sync", path, errno);
}

}  // namespace

void CopyFile(const QString& from, const QString& to) {
    Descriptor in{::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) fail("read", from, errno);
    struct stat st {};
    if (::fstat(in.fd, &st) != 0) fail("read", from, errno);
    Descriptor out{
        ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (out.fd < 0) fail("create", to, errno);
    for (off_t left = st.st_size; left > 0;) {
        const ssize_t n =
            ::copy_file_range(in.fd, nullptr, out.fd, nullptr, static_cast<size_t>(left), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail("write", to, errno);
        if (n == 0) fail("read all of", from, EIO);  // cut short while copying
        left -= n;
    }
}

void SyncFile(const QString& path) { syncPath(path, O_RDONLY); }

void SyncDirectory(const QString& path) { syncPath(path, O_RDONLY | O_DIRECTORY); }

void RenameDurably(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        fail("rename", from, errno);
    SyncDirectory(QFileInfo(to).absolutePath());
}

}  // namespace durable

#include "platform/system/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstdlib>

namespace {
// A file name may hold 255 bytes; the suffix takes five of them.
constexpr int kMaxNameBytes = 250;

QString lockFileName(const QString& name) {
    QString safe = name;
    safe.replace(QLatin1Char('/'), QLatin1Char('_'));
    QByteArray bytes = safe.toUtf8();
    while (bytes.size() > kMaxNameBytes) {
        safe.chop(1);
        bytes = safe.toUtf8();
    }
    return safe + QStringLiteral(".lock");
}
}  // namespace

TNamedMutex::~TNamedMutex() { Close(); }

QString TNamedMutex::RuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}

QString TNamedMutex::LockFilePath(const QString& name) {
    return RuntimeDirectory() + QLatin1Char('/') + lockFileName(name);
}

TNamedMutex::Result TNamedMutex::Create(const QString& name) {
    Close();
    const QByteArray path = QFile::encodeName(LockFilePath(name));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return Result::Created;
    }
    const int error = errno;
    ::close(fd);
    return error == EWOULDBLOCK ? Result::AlreadyExists : Result::Failed;
}

void TNamedMutex::Close() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the descriptor releases the lock
    fd_ = -1;
}

#include "platform/system/instance_channel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

#include "platform/system/named_mutex.h"

namespace {
constexpr char kRequest[] = "ACTIVATE\n";
constexpr char kAnswer[] = "OK\n";
constexpr char kRefusal[] = "ERROR\n";
constexpr int kMaxRequestBytes = 64;
// A socket path must fit in 108 bytes; long names are shortened to a hash.
constexpr int kMaxPlainName = 40;
}  // namespace

QString InstanceChannelPath(const QString& name) {
    QString base = name;
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (base.toUtf8().size() > kMaxPlainName)
        base = QString::fromLatin1(
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex());
    return TNamedMutex::RuntimeDirectory() + QLatin1Char('/') + base + QStringLiteral(".sock");
}

void BringForward(QWidget* window) {
    if (!window) return;
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
    } else {
        window->show();
        window->raise();
    }
    window->activateWindow();
}

TInstanceListener::TInstanceListener(const QString& name, QWidget* window, QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)), window_(window) {
    const QString path = InstanceChannelPath(name);
    // Only the holder of the mutex listens, so a socket file left by a copy
    // that crashed can be removed safely.
    QLocalServer::removeServer(path);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(path);
    connect(server_, &QLocalServer::newConnection, this, &TInstanceListener::acceptConnection);
}

TInstanceListener::~TInstanceListener() = default;

bool TInstanceListener::Listening() const { return server_->isListening(); }

void TInstanceListener::acceptConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() < kMaxRequestBytes) return;
            const QByteArray request = socket->readLine(kMaxRequestBytes);
            if (request != kRequest) {
                socket->write(kRefusal);
                socket->disconnectFromServer();
                return;
            }
            BringForward(window_);
            socket->write(kAnswer);
            socket->flush();
            socket->disconnectFromServer();
            if (OnActivated) OnActivated();
        });
    }
}

bool ActivateRunningInstance(const QString& name, int timeoutMs) {
    const QString path = InstanceChannelPath(name);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(kRequest);
            socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
            while (!socket.canReadLine() &&
                   socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            }
            return socket.readLine(kMaxRequestBytes) == kAnswer;
        }
        QThread::msleep(50);  // the running copy may not listen yet
    }
    return false;
}

#include "platform/qt/QtSingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace orv {

namespace {

// A running copy answers at once; a stale socket file refuses at once too.
constexpr int kConnectTimeoutMs = 500;

bool SocketAnswers(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    const bool connected = socket.waitForConnected(kConnectTimeoutMs);
    socket.abort();
    return connected;
}

}  // namespace

QtSingleInstance::QtSingleInstance(WindowProbe& probe) : probe_(probe) {}

QtSingleInstance::~QtSingleInstance() {
    // close() removes the socket file, so the next start finds no one.
    if (server_) server_->close();
}

QString QtSingleInstance::SocketPath() {
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty()) return QDir(runtimeDir).filePath(QString::fromLatin1(kMainWindowClass));
    return QDir(QDir::tempPath())
        .filePath(QStringLiteral("%1-%2").arg(QString::fromLatin1(kMainWindowClass)).arg(::getuid()));
}

bool QtSingleInstance::OtherInstanceRunning() {
    if (HasWindowOfClass(probe_, kMainWindowClass)) return true;
    const QString path = SocketPath();
    // Our own server is no other instance.
    if (server_ && server_->isListening() && server_->fullServerName() == path) return false;
    return SocketAnswers(path);
}

void QtSingleInstance::Claim() {
    if (server_ && server_->isListening()) return;
    const QString path = SocketPath();
    // A copy that crashed leaves its socket file behind; listening needs it gone.
    QLocalServer::removeServer(path);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only being reachable matters; whoever connects is let go at once.
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [server = server_.get()] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            socket->abort();
            socket->deleteLater();
        }
    });
    server_->listen(path);
}

}  // namespace orv

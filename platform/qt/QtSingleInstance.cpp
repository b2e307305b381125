#include "platform/qt/QtSingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/UniqueFd.h"

namespace orv {

namespace {

// A running copy answers at once; a stale socket file refuses at once too.
constexpr int kConnectTimeoutMs = 500;
// Display names longer than this go into the socket's name as a digest, so
// that the path stays within what a local socket's address holds.
constexpr qsizetype kLongestDisplayName = 48;

bool SocketAnswers(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    const bool connected = socket.waitForConnected(kConnectTimeoutMs);
    socket.abort();
    return connected;
}

// "[host]:display[.screen]" without the screen, and without a host of
// "unix" (the local socket, as no host at all).
QString NormalisedXDisplay(const QString& name) {
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return name;
    QString host = name.left(colon);
    QString number = name.mid(colon + 1);
    if (const qsizetype dot = number.indexOf(QLatin1Char('.')); dot >= 0) number.truncate(dot);
    if (host == QLatin1String("unix")) host.clear();
    return host + QLatin1Char(':') + number;
}

QString FileNamePart(const QString& display) {
    QString part;
    for (const QChar c : display) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                           c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char(':');
        part += plain ? c : QLatin1Char('_');
    }
    if (part.size() <= kLongestDisplayName) return part;
    return QString::fromLatin1(QCryptographicHash::hash(display.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

// A folder (not a link to one) of this user that no one else may enter.
// With tighten, one of this user that others may enter is closed to them.
bool IsOwnPrivateFolder(const QString& path, bool tighten) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (name.isEmpty() || ::lstat(name.constData(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
    if ((info.st_mode & 077) == 0) return true;
    if (!tighten) return false;
    UniqueFd fd(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    return fd && ::fstat(fd.Get(), &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino &&
           opened.st_uid == ::geteuid() && ::fchmod(fd.Get(), 0700) == 0;
}

}  // namespace

QtSingleInstance::QtSingleInstance(WindowProbe& probe, QString display)
    : probe_(probe), display_(std::move(display)) {}

QtSingleInstance::~QtSingleInstance() {
    // close() removes the socket file, so the next start finds no one.
    if (server_) server_->close();
}

QString QtSingleInstance::DisplayKey(const QString& platform, const QString& xDisplay, const QString& waylandDisplay) {
    if (platform == QLatin1String("xcb")) return NormalisedXDisplay(xDisplay);
    if (platform.startsWith(QLatin1String("wayland")))
        return waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : waylandDisplay;
    return platform;
}

QString QtSingleInstance::CurrentDisplayKey(const QString& xDisplayArgument) {
    const QString xDisplay = xDisplayArgument.isEmpty() ? qEnvironmentVariable("DISPLAY") : xDisplayArgument;
    return DisplayKey(QGuiApplication::platformName(), xDisplay, qEnvironmentVariable("WAYLAND_DISPLAY"));
}

QString QtSingleInstance::SocketFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsOwnPrivateFolder(runtime, false)) return runtime;
    // In the shared temp folder anyone may make a folder under any name: one
    // that is not this user's own is never used.
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("orvtt-%1").arg(::getuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return IsOwnPrivateFolder(own, true) ? own : QString();
}

QString QtSingleInstance::SocketPath(const QString& display) {
    const QString folder = SocketFolder();
    if (folder.isEmpty()) return {};
    return QDir(folder).filePath(QString::fromLatin1(kMainWindowClass) + QLatin1Char('-') + FileNamePart(display));
}

bool QtSingleInstance::OtherInstanceRunning() {
    if (HasWindowOfClass(probe_, kMainWindowClass)) return true;
    const QString path = SocketPath(display_);
    if (path.isEmpty()) return false;
    // Our own server is no other instance.
    if (server_ && server_->isListening() && server_->fullServerName() == path) return false;
    return SocketAnswers(path);
}

void QtSingleInstance::Claim() {
    if (server_ && server_->isListening()) return;
    const QString path = SocketPath(display_);
    if (path.isEmpty()) return;
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

QString DisplayArgument(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (!argv[i]) break;
        if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return {};
}

}  // namespace orv

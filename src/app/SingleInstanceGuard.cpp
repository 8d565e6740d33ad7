#include "SingleInstanceGuard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "velora.instance")

namespace {
// Messages are one line of UTF-8; the receiver answers "ok" once it has taken the message.
constexpr char Acknowledgement[] = "ok\n";
constexpr int MaxMessageBytes = 64 * 1024;
} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString &key, QObject *parent)
    : QObject(parent)
    , socketPath(key + QStringLiteral(".socket"))
    , lock(key + QStringLiteral(".lock"))
{
    QDir().mkpath(QFileInfo(key).absolutePath());
    // Only a dead owner makes the lock stale; a busy first instance keeps it however long.
    lock.setStaleLockTime(0);
    primary = lock.tryLock(0);
    if (!primary)
        return;

    server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock proves no live instance uses the socket: whatever is there was left by a
    // crash and would make listen() fail.
    QLocalServer::removeServer(socketPath);
    if (!server->listen(socketPath))
        qCWarning(lcInstance, "Cannot listen on %s: %s", qPrintable(socketPath),
                  qPrintable(server->errorString()));
    connect(server.get(), &QLocalServer::newConnection, this,
            &SingleInstanceGuard::acceptConnection);
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    if (server)
        server->close();
    if (primary)
        lock.unlock();
}

QString SingleInstanceGuard::defaultKey()
{
    // Without a runtime folder (a bare X server, a cron job) the shared temporary folder is
    // used, with the user id in the name so that users never meet.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return QStringLiteral("%1/velora-%2-instance").arg(QDir::tempPath()).arg(::getuid());
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
            + QStringLiteral("/velora-instance");
}

bool SingleInstanceGuard::sendMessage(const QString &message, int timeoutMs)
{
    if (primary)
        return false;

    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The first instance may still be starting: it holds the lock before it listens.
    for (;;) {
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 0))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }

    socket.write(message.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(int(qMax<qint64>(deadline.remainingTime(), 0))))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 0))))
            return false;
    }
    return socket.readLine() == Acknowledgement;
}

void SingleInstanceGuard::acceptConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxMessageBytes)
                    socket->abort();
                return;
            }
            const QString message = QString::fromUtf8(socket->readLine()).chopped(1);
            socket->write(Acknowledgement);
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT messageReceived(message);
        });
    }
}

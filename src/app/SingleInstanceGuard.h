#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

/// Makes sure one user runs one Velora at a time and lets a second start talk to the first.
///
/// The first instance holds a lock file and listens on a local socket beside it; a later one
/// finds the lock taken and can send the first a message. A lock left by a crashed instance is
/// recognised as stale (its process is gone) and taken over, and the socket it left is removed.
class SingleInstanceGuard : public QObject
{
    Q_OBJECT

public:
    /// `key` is the path, without suffix, of the lock file and the socket.
    explicit SingleInstanceGuard(const QString &key = defaultKey(), QObject *parent = nullptr);
    ~SingleInstanceGuard() override;

    /// True when another instance holds the key; this object then never listens.
    bool isRunning() const { return !primary; }

    /// Sends `message` to the running instance and waits up to `timeoutMs` for it to arrive.
    bool sendMessage(const QString &message, int timeoutMs);

    /// The per-user key: in the user's runtime folder.
    static QString defaultKey();

Q_SIGNALS:
    void messageReceived(const QString &message);

private:
    void acceptConnection();

    QString socketPath;
    QLockFile lock;
    std::unique_ptr<QLocalServer> server;
    bool primary = false;
};

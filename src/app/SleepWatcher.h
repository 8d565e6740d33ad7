#pragma once

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QObject>

#include <memory>

/// Says when the machine is about to sleep (a closed lid, a suspend from the desktop's menu) and
/// when it has woken up, as systemd-logind announces it on the system bus. While asked to, it
/// holds logind's delay lock, so that the machine waits for Velora to finish a recording's file
/// before it sleeps. Without a system bus (a container, a build machine) it says so once in the
/// log and stays silent.
class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    /// Watches logind on the system bus.
    explicit SleepWatcher(QObject *parent = nullptr);
    /// Watches whoever owns logind's name on `bus`.
    explicit SleepWatcher(const QDBusConnection &bus, QObject *parent = nullptr);

    /// True asks logind to delay sleep until it is called with false, which lets the machine
    /// sleep at once. The lock is asked for in the background; logind caps the delay itself
    /// (InhibitDelayMaxSec, 5 s by default), so a hold that is never given back costs no sleep.
    void holdSleep(bool hold);
    /// True while logind has granted the lock and it has not been given back.
    bool holdsSleep() const { return lock && lock->isFinished() && !lock->isError(); }

Q_SIGNALS:
    /// The machine goes to sleep as soon as every delay lock is given back.
    void sleepComing();
    void wokeUp();

private Q_SLOTS:
    // A named slot, because QDBusConnection::connect takes no function pointer.
    void prepareForSleep(bool start);

private:
    void lockAnswered();

    QDBusConnection bus;
    // logind's answer to Inhibit, on its way or arrived. The answer itself is kept as the lock:
    // a copy of its descriptor taken out of it would stay open for as long as the answer lives.
    std::unique_ptr<QDBusPendingCallWatcher> lock;
    bool holdWanted = false;
};

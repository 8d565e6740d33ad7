#include "SleepWatcher.h"

#include <LogModule.h>

#include <QDBusError>
#include <QDBusMessage>

namespace {

const LogModule sleepLog("velora/sleep");

const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

SleepWatcher::SleepWatcher(QObject *parent)
    : SleepWatcher(QDBusConnection::systemBus(), parent)
{ }

SleepWatcher::SleepWatcher(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
{
    if (!bus.isConnected()) {
        sleepLog.log(4,
                     "SleepWatcher::SleepWatcher - No system bus (%s); a recording is not "
                     "stopped before the machine sleeps",
                     qPrintable(bus.lastError().message()));
        return;
    }
    // Naming the service, not only the path, lets through only the signal of the name's owner:
    // any program on the bus may send a signal that claims logind's path.
    if (!this->bus.connect(LogindService, LogindPath, LogindManager,
                           QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool))))
        sleepLog.log(3, "SleepWatcher::SleepWatcher - Cannot watch for sleep: %s",
                     qPrintable(this->bus.lastError().message()));
}

void SleepWatcher::holdSleep(bool hold)
{
    holdWanted = hold;
    // An answer still on its way is dropped when it arrives.
    if (!hold && lock && lock->isFinished())
        lock.reset();
    if (!hold || lock || !bus.isConnected())
        return;
    // Asked without waiting: a recording should not start late because logind is slow to answer.
    QDBusMessage inhibit = QDBusMessage::createMethodCall(LogindService, LogindPath, LogindManager,
                                                          QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("sleep") << QStringLiteral("Velora")
            << QStringLiteral("Finishing a recording") << QStringLiteral("delay");
    lock = std::make_unique<QDBusPendingCallWatcher>(bus.asyncCall(inhibit));
    connect(lock.get(), &QDBusPendingCallWatcher::finished, this, &SleepWatcher::lockAnswered);
}

void SleepWatcher::lockAnswered()
{
    if (lock->isError())
        sleepLog.log(3, "SleepWatcher::lockAnswered - No sleep delay lock: %s",
                     qPrintable(lock->error().message()));
    // Also when the recording ended while the question was on its way.
    if (lock->isError() || !holdWanted)
        lock.release()->deleteLater();
}

void SleepWatcher::prepareForSleep(bool start)
{
    sleepLog.log(5, "SleepWatcher::prepareForSleep - %s",
                 start ? "The machine goes to sleep" : "The machine woke up");
    if (start)
        Q_EMIT sleepComing();
    else
        Q_EMIT wokeUp();
}

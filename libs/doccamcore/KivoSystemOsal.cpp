#include "KivoSystemOsal.h"

#include "DocCamTypes.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>

#include <mutex>

namespace {
std::mutex callbackMutex;
KivoSystemOsal::SystemEventCallback registeredCallback = nullptr;
void *registeredContext = nullptr;

/// Listens for logind's PrepareForSleep on the system bus.
class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SleepWatcher(QObject *parent)
        : QObject(parent)
    {
        QDBusConnection bus = QDBusConnection::systemBus();
        if (bus.isConnected())
            bus.connect(QStringLiteral("org.freedesktop.login1"),
                        QStringLiteral("/org/freedesktop/login1"),
                        QStringLiteral("org.freedesktop.login1.Manager"),
                        QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    }

private Q_SLOTS:
    void prepareForSleep(bool goingToSleep)
    {
        KivoSystemOsal::deliverSystemEvent(goingToSleep ? DocCam::SystemEventSuspend
                                                        : DocCam::SystemEventResume);
    }
};
} // namespace

void KivoSystemOsal::osalRegisterSystemEventListener(SystemEventCallback callback, void *context)
{
    {
        std::lock_guard lock(callbackMutex);
        registeredCallback = callback;
        registeredContext = context;
    }
    // Connected once and kept with the application object: the bus outlives every user of it.
    static std::once_flag connected;
    if (callback && QCoreApplication::instance())
        std::call_once(connected, [] { new SleepWatcher(QCoreApplication::instance()); });
}

void KivoSystemOsal::deliverSystemEvent(int event)
{
    SystemEventCallback callback = nullptr;
    void *context = nullptr;
    {
        std::lock_guard lock(callbackMutex);
        callback = registeredCallback;
        context = registeredContext;
    }
    if (callback)
        callback(event, context);
}

#include "KivoSystemOsal.moc"

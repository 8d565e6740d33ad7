#include <SleepWatcher.h>
#include <VeloraTest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QSignalSpy>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

/// Stands in for logind: Inhibit hands out the write end of a pipe, whose read end comes to its
/// end once the lock is given back.
class Logind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    bool lockClosed() const
    {
        char byte;
        return ::read(readEnd, &byte, 1) == 0;
    }

    QStringList asked;
    int readEnd = -1;

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        asked << what << who << why << mode;
        ::close(readEnd);
        int ends[2] = {-1, -1};
        [[maybe_unused]] const int piped = ::pipe2(ends, O_CLOEXEC | O_NONBLOCK);
        readEnd = ends[0];
        const QDBusUnixFileDescriptor lock(ends[1]);
        ::close(ends[1]);
        return lock;
    }
};

class TestSleepWatcher : public QObject
{
    Q_OBJECT

    QProcess daemon;
    Logind logind;

    static void sendPrepareForSleep(QDBusConnection bus, bool start)
    {
        bus.send(QDBusMessage::createSignal(u"/org/freedesktop/login1"_s,
                                            u"org.freedesktop.login1.Manager"_s,
                                            u"PrepareForSleep"_s)
                 << start);
    }

private Q_SLOTS:
    void initTestCase()
    {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        QVERIFY(daemon.waitForReadyRead());
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        for (const char *name : {"watcher", "logind", "impostor"})
            QDBusConnection::connectToBus(address, QString::fromLatin1(name));
        QDBusConnection bus(u"logind"_s);
        QVERIFY(bus.registerService(u"org.freedesktop.login1"_s));
        QVERIFY(bus.registerObject(u"/org/freedesktop/login1"_s, &logind,
                                   QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase()
    {
        daemon.terminate();
        daemon.waitForFinished();
    }

    void onlyLogindAnnouncesSleep()
    {
        SleepWatcher watcher(QDBusConnection(u"watcher"_s));
        QSignalSpy sleeping(&watcher, &SleepWatcher::sleepComing);
        QSignalSpy awake(&watcher, &SleepWatcher::wokeUp);
        QDBusConnection impostor(u"impostor"_s);
        sendPrepareForSleep(impostor, true);
        // A round trip through the bus puts the impostor's signal before logind's.
        QVERIFY(impostor.interface()->isServiceRegistered(u"org.freedesktop.login1"_s));
        sendPrepareForSleep(QDBusConnection(u"logind"_s), false);
        QVERIFY(awake.wait());
        QCOMPARE(sleeping.count(), 0);
        sendPrepareForSleep(QDBusConnection(u"logind"_s), true);
        QVERIFY(sleeping.wait());
        QCOMPARE(awake.count(), 1);
    }

    void delayLockHeldUntilGivenBack()
    {
        SleepWatcher watcher(QDBusConnection(u"watcher"_s));
        watcher.holdSleep(true);
        QTRY_VERIFY(watcher.holdsSleep());
        QCOMPARE(logind.asked,
                 QStringList({u"sleep"_s, u"Velora"_s, u"Finishing a recording"_s, u"delay"_s}));
        QVERIFY(!logind.lockClosed());
        watcher.holdSleep(false);
        // Waited for: the bus closes its own copies of the descriptor a moment after passing it.
        QTRY_VERIFY(logind.lockClosed());

        // Given back before logind answered: the lock that arrives afterwards is let go.
        watcher.holdSleep(true);
        watcher.holdSleep(false);
        QTRY_COMPARE(logind.asked.size(), 8);
        QTRY_VERIFY(logind.lockClosed());
        QVERIFY(!watcher.holdsSleep());
    }
};

VELORA_TEST_MAIN(TestSleepWatcher)
#include "tst_sleepwatcher.moc"

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
    ~Logind() override { ::close(readEnd); }
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

private Q_SLOTS:
    void recordingHoldsSleepUntilFinished()
    {
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        QVERIFY(daemon.waitForReadyRead());
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QDBusConnection bus = QDBusConnection::connectToBus(address, u"logind"_s);
        QDBusConnection impostor = QDBusConnection::connectToBus(address, u"impostor"_s);
        Logind logind;
        QVERIFY(bus.registerService(u"org.freedesktop.login1"_s));
        QVERIFY(bus.registerObject(u"/org/freedesktop/login1"_s, &logind,
                                   QDBusConnection::ExportAllSlots));
        const auto sendPrepareForSleep = [](QDBusConnection sender, bool start) {
            sender.send(QDBusMessage::createSignal(u"/org/freedesktop/login1"_s,
                                                   u"org.freedesktop.login1.Manager"_s,
                                                   u"PrepareForSleep"_s)
                        << start);
        };

        SleepWatcher watcher(QDBusConnection::connectToBus(address, u"watcher"_s));
        QSignalSpy sleeping(&watcher, &SleepWatcher::sleepComing);
        QSignalSpy awake(&watcher, &SleepWatcher::wokeUp);
        watcher.holdSleep(true);
        QTRY_VERIFY(watcher.holdsSleep());
        QCOMPARE(logind.asked,
                 QStringList({u"sleep"_s, u"Velora"_s, u"Finishing a recording"_s, u"delay"_s}));

        // Anyone may send on logind's path; only logind counts. The impostor's round trip through
        // the bus puts its signal before logind's.
        sendPrepareForSleep(impostor, true);
        QVERIFY(impostor.interface()->isServiceRegistered(u"org.freedesktop.login1"_s));
        sendPrepareForSleep(bus, false);
        QVERIFY(awake.wait());
        QCOMPARE(sleeping.count(), 0);
        sendPrepareForSleep(bus, true);
        QVERIFY(sleeping.wait());

        QVERIFY(!logind.lockClosed());
        watcher.holdSleep(false);
        // Waited for: the bus closes its own copies of the descriptor a moment after passing it.
        QTRY_VERIFY(logind.lockClosed());

        // Given back before logind answered: the lock that arrives afterwards is let go.
        watcher.holdSleep(true);
        watcher.holdSleep(false);
        QTRY_COMPARE(logind.asked.size(), 8);
        QTRY_VERIFY(logind.lockClosed());
        daemon.terminate();
        daemon.waitForFinished();
    }
};

VELORA_TEST_MAIN(TestSleepWatcher)
#include "tst_sleepwatcher.moc"

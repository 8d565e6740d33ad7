#include <SingleInstanceGuard.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <thread>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private:
    static QString socketPath()
    {
        return SingleInstanceGuard::defaultKey() + QStringLiteral(".socket");
    }

    /// Starts Velora as a user would and waits until it answers on its socket.
    static std::unique_ptr<QProcess> startVelora()
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(QStringLiteral(VELORA_EXECUTABLE));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELORA_TEST_ANSWER_DIALOGS"), QStringLiteral("1"));
        process->setProcessEnvironment(environment);
        process->start();
        process->waitForStarted();
        return process;
    }

    static bool waitUntilListening(QProcess &process)
    {
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            if (process.state() != QProcess::Running)
                return false;
            QLocalSocket probe;
            probe.connectToServer(socketPath());
            if (probe.waitForConnected(100)) {
                probe.abort();
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    /// Runs a second start to its end and returns what it printed on standard error.
    static QString runSecondStart(int *exitCode)
    {
        auto second = startVelora();
        if (!second->waitForFinished(20000)) {
            second->kill();
            second->waitForFinished();
            *exitCode = -1;
            return {};
        }
        *exitCode = second->exitStatus() == QProcess::NormalExit ? second->exitCode() : -2;
        return QString::fromUtf8(second->readAllStandardError());
    }

    static void stop(QProcess &process)
    {
        process.terminate();
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
    }

private Q_SLOTS:
    void secondGuardReachesTheFirst()
    {
        const QString key = VeloraTest::homePath() + QStringLiteral("/guard");
        SingleInstanceGuard first(key);
        QVERIFY(!first.isRunning());
        QSignalSpy received(&first, &SingleInstanceGuard::messageReceived);

        SingleInstanceGuard second(key);
        QVERIFY(second.isRunning());
        // The sender blocks while the receiver needs the event loop, so send from a thread.
        std::atomic<bool> delivered = false;
        std::thread sender(
                [&] { delivered = second.sendMessage(QStringLiteral("Is app exist?"), 5000); });
        auto joinSender = qScopeGuard([&sender] { sender.join(); });
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
        joinSender.dismiss();
        sender.join();
        QVERIFY(delivered);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("Is app exist?"));
    }

    void secondProcessExitsWhileFirstKeepsRunning()
    {
        auto first = startVelora();
        QVERIFY2(waitUntilListening(*first), first->readAllStandardError().constData());

        // It listens before it has finished starting; its log file is the last thing it makes.
        const QString logs = VeloraTest::homePath() + QStringLiteral("/Documents/Velora/logs");
        QTRY_VERIFY_WITH_TIMEOUT(
                !QDir(logs).entryList({QStringLiteral("Velora*.log")}, QDir::Files).isEmpty(),
                10000);
        QSettings settings(VeloraTest::homePath()
                                   + QStringLiteral("/.local/share/Velora/Settings.ini"),
                           QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("language")).toString(), QStringLiteral("eng"));
        QCOMPARE(settings.value(QStringLiteral("logs/logLevel")).toInt(), 5);
        QCOMPARE(settings.value(QStringLiteral("logs/logFilesExpiryDate")).toInt(), 30);
        QCOMPARE(settings.value(QStringLiteral("logs/logFilesLocation")).toString(), logs);

        int exitCode = -1;
        const QString said = runSecondStart(&exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(said.contains(QStringLiteral("Velora is already running!")), qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("did not answer")), qPrintable(said));
        QCOMPARE(first->state(), QProcess::Running);
        stop(*first);
    }

    void terminationClosesCleanlyAndFreesTheInstance()
    {
        auto first = startVelora();
        QVERIFY(waitUntilListening(*first));
        first->terminate(); // SIGTERM, as a logout sends
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        // A clean exit gives the lock back rather than leaving it for stale recovery.
        QVERIFY(!QFile::exists(SingleInstanceGuard::defaultKey() + QStringLiteral(".lock")));
    }

    void staleSocketOfKilledInstanceDoesNotBlock()
    {
        auto crashed = startVelora();
        QVERIFY(waitUntilListening(*crashed));
        ::kill(pid_t(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY(QFile::exists(socketPath()));

        auto next = startVelora();
        QVERIFY2(waitUntilListening(*next), next->readAllStandardError().constData());
        int exitCode = -1;
        const QString said = runSecondStart(&exitCode);
        QCOMPARE(exitCode, 0);
        QVERIFY2(said.contains(QStringLiteral("Velora is already running!")), qPrintable(said));
        QCOMPARE(next->state(), QProcess::Running);
        stop(*next);
    }
};

VELORA_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

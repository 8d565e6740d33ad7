#include <AutoSerialFileLogger.h>
#include <KivoSystem.h>
#include <LogModule.h>
#include <LogSystem.h>
#include <VeloraTest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

class TestLogSystem : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString logTemplate() const { return folder.path() + u"/VeloraYYMMDD-9999.log"_s; }

    /// Installs a fresh file logger and starts logging; returns the file it writes.
    QString startFreshLog(LogSystem::LogLevel threshold = LogSystem::LogNotice)
    {
        LogSystem *system = LogSystem::getSysLogSystem();
        system->stopLog();
        auto *logger = new AutoSerialFileLogger(logTemplate());
        system->setLogger(logger);
        system->setLogLevel(threshold);
        system->enableAllLog();
        system->startLog();
        return logger->currentFilePath();
    }

    static QStringList linesOf(const QString &path)
    {
        LogSystem::getSysLogSystem()->stopLog();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void modulesRegisterOnceAndLogOneLineAboveTheThreshold()
    {
        QString path = startFreshLog();
        LogSystem *system = LogSystem::getSysLogSystem();
        LogModule lazy("test/lazy");
        QCOMPARE(lazy.id(), LogModule::Unregistered);
        lazy.log(LogSystem::LogCritical, u"first"_s);
        QVERIFY(lazy.id() >= 0);
        QCOMPARE(system->registerLoggedModule(u"test/lazy"_s), lazy.id());
        QVERIFY(system->registerLoggedModule(u"test/other"_s) != lazy.id());

        system->setModuleEnabled(u"test/silenced"_s, false);
        LogModule silenced("test/silenced");
        silenced.log(LogSystem::LogCritical, u"must not appear"_s);
        QCOMPARE(silenced.id(), LogModule::NotLogged);
        // Registration is not retried even once the log system would accept the module.
        system->enableAllLog();
        silenced.log(LogSystem::LogCritical, u"must not appear either"_s);
        QCOMPARE(linesOf(path).size(), 1);

        // One line each, with time, severity and module, for messages at or above the threshold.
        path = startFreshLog(LogSystem::LogWarning);
        LogModule module("velora/capture");
        module.log(LogSystem::LogCritical, u"CaptureImpl::saveImageToPath - %s %d%%"_s,
                   "Not enough disk space!", 42);
        for (int level = LogSystem::LogError; level <= LogSystem::LogDebug; ++level)
            module.log(level, u"two\nlines at %d"_s, level);
        const QStringList lines = linesOf(path);
        // Nothing is written once logging stops.
        module.log(LogSystem::LogCritical, u"after stop"_s);
        QCOMPARE(linesOf(path), lines);

        QCOMPARE(lines.size(), 3);
        const QRegularExpression shape(QStringLiteral(
                R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[2\] velora/capture: (.*)$)"));
        const auto match = shape.match(lines.at(0));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(0)));
        QCOMPARE(match.captured(1), u"CaptureImpl::saveImageToPath - Not enough disk space! 42%"_s);
        QVERIFY(lines.at(2).endsWith(u"[4] velora/capture: two\\nlines at 4"_s));
    }

    void concurrentThreadsLoseNoLine()
    {
        const QString path = startFreshLog();
        constexpr int Threads = 4;
        constexpr int PerThread = 2500;
        LogModule module("test/concurrent");
        // std::thread, not QThread: its join is visible to ThreadSanitizer.
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t)
            threads.emplace_back([&module, t] {
                for (int i = 0; i < PerThread; ++i)
                    module.log(LogSystem::LogNotice, u"thread %d message %d"_s, t, i);
            });
        for (auto &thread : threads)
            thread.join();
        const QStringList lines = linesOf(path);
        QCOMPARE(QSet<QString>(lines.cbegin(), lines.cend()).size(), Threads * PerThread);
    }

    void serialFileNamesNeverOverwrite()
    {
        QTemporaryDir dir;
        const QString pathTemplate = dir.path() + u"/VeloraYYMMDD-9999.log"_s;
        const QDate today = QDate::currentDate();
        const QString first = AutoSerialFileLogger::expand(pathTemplate, today, 1);
        QCOMPARE(QFileInfo(first).fileName(),
                 u"Velora%1-0001.log"_s.arg(today.toString(u"yyMMdd"_s)));

        QFile existing(first);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("earlier run\n") > 0);
        existing.close();

        AutoSerialFileLogger logger(pathTemplate);
        QVERIFY(logger.open() && logger.open()); // opening an open logger keeps its file
        QCOMPARE(logger.currentFilePath(), AutoSerialFileLogger::expand(pathTemplate, today, 2));
        logger.write(u"this run"_s);
        logger.close();

        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("earlier run\n"));
    }

    void freeSpaceOfAFolderYetToBeMadeIsThatOfItsVolume()
    {
        QVERIFY(KivoSystem::freeSpace(folder.path() + u"/not/yet/there"_s) > 1024);
    }
};

VELORA_TEST_MAIN(TestLogSystem)
#include "tst_logsystem.moc"

#include <AutoSerialFileLogger.h>
#include <KivoSystem.h>
#include <LogModule.h>
#include <LogSystem.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <thread>
#include <vector>

class TestLogSystem : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString logTemplate() const { return folder.path() + QStringLiteral("/VeloraYYMMDD-9999.log"); }

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
    void modulesRegisterOnceAndDisabledOnesStaySilent()
    {
        const QString path = startFreshLog();
        LogSystem *system = LogSystem::getSysLogSystem();
        LogModule lazy("test/lazy");
        QCOMPARE(lazy.id(), LogModule::Unregistered);
        lazy.log(LogSystem::LogCritical, QStringLiteral("first"));
        QVERIFY(lazy.id() >= 0);
        QCOMPARE(system->registerLoggedModule(QStringLiteral("test/lazy")), lazy.id());
        QVERIFY(system->registerLoggedModule(QStringLiteral("test/other")) != lazy.id());

        system->setModuleEnabled(QStringLiteral("test/silenced"), false);
        LogModule silenced("test/silenced");
        silenced.log(LogSystem::LogCritical, QStringLiteral("must not appear"));
        QCOMPARE(silenced.id(), LogModule::NotLogged);
        // Registration is not retried even once the log system would accept the module.
        system->enableAllLog();
        silenced.log(LogSystem::LogCritical, QStringLiteral("must not appear either"));
        QCOMPARE(linesOf(path).size(), 1);
    }

    void writesTimeSeverityModuleAndTextOnOneLineAboveTheThreshold()
    {
        const QString path = startFreshLog(LogSystem::LogWarning);
        LogModule module("velora/capture");
        module.log(LogSystem::LogCritical, QStringLiteral("CaptureImpl::saveImageToPath - %s %d%%"),
                   "Not enough disk space!", 42);
        for (int level = LogSystem::LogError; level <= LogSystem::LogDebug; ++level)
            module.log(level, QStringLiteral("two\nlines at %d"), level);
        const QStringList lines = linesOf(path);
        // Nothing is written once logging stops.
        module.log(LogSystem::LogCritical, QStringLiteral("after stop"));
        QCOMPARE(linesOf(path), lines);

        QCOMPARE(lines.size(), 3);
        const QRegularExpression shape(QStringLiteral(
                R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[2\] velora/capture: (.*)$)"));
        const auto match = shape.match(lines.at(0));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(0)));
        QCOMPARE(match.captured(1),
                 QStringLiteral("CaptureImpl::saveImageToPath - Not enough disk space! 42%"));
        QVERIFY(lines.at(2).endsWith(QStringLiteral("[4] velora/capture: two\\nlines at 4")));
    }

    void concurrentThreadsLoseNoLine()
    {
        const QString path = startFreshLog();
        constexpr int Threads = 4;
        constexpr int PerThread = 2500;
        LogModule module("test/concurrent");
        // std::thread, not QThread: its join is visible to ThreadSanitizer.
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back([&module, t] {
                for (int i = 0; i < PerThread; ++i)
                    module.log(LogSystem::LogNotice, QStringLiteral("thread %d message %d"), t, i);
            });
        }
        for (auto &thread : threads)
            thread.join();

        const QStringList lines = linesOf(path);
        QSet<QString> seen;
        for (const QString &line : lines)
            seen.insert(line.section(QStringLiteral("test/concurrent: "), 1));
        QCOMPARE(lines.size(), Threads * PerThread);
        QCOMPARE(seen.size(), Threads * PerThread);
    }

    void serialFileNamesNeverOverwrite()
    {
        QTemporaryDir dir;
        const QString pathTemplate = dir.path() + QStringLiteral("/VeloraYYMMDD-9999.log");
        const QDate today = QDate::currentDate();
        const QString first = AutoSerialFileLogger::expand(pathTemplate, today, 1);
        QCOMPARE(QFileInfo(first).fileName(),
                 QStringLiteral("Velora%1-0001.log").arg(today.toString(QStringLiteral("yyMMdd"))));

        QFile existing(first);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("earlier run\n") > 0);
        existing.close();

        AutoSerialFileLogger logger(pathTemplate);
        QVERIFY(logger.open() && logger.open()); // opening an open logger keeps its file
        QCOMPARE(logger.currentFilePath(), AutoSerialFileLogger::expand(pathTemplate, today, 2));
        logger.write(QStringLiteral("this run"));
        logger.close();

        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("earlier run\n"));
    }

    void freeSpaceMeasuresTheVolumeAndCanBeOverridden()
    {
        QTemporaryDir dir;
        const qint64 real = KivoSystem::freeSpace(dir.path());
        QVERIFY(real > 0);
        // A folder about to be created is measured on the volume that will hold it.
        QVERIFY(KivoSystem::freeSpace(dir.path() + QStringLiteral("/not/yet/there")) > 0);

        KivoSystem::setFreeSpaceOverride([](const QString &) { return qint64(1024); });
        QCOMPARE(KivoSystem::freeSpace(dir.path()), qint64(1024));
        KivoSystem::setFreeSpaceOverride({});
        QVERIFY(KivoSystem::freeSpace(dir.path()) > 1024);
    }
};

VELORA_TEST_MAIN(TestLogSystem)
#include "tst_logsystem.moc"

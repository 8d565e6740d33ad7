#include <SettingImpl.h>
#include <StartUp.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTranslator>

#include <utime.h>

class TestStartUp : public QObject
{
    Q_OBJECT

private:
    static QVariant stored(const QString &key)
    {
        QSettings file(SettingImpl::settingsFilePath(), QSettings::IniFormat);
        return file.value(key);
    }

    static void store(const QString &key, const QVariant &value)
    {
        QSettings file(SettingImpl::settingsFilePath(), QSettings::IniFormat);
        file.setValue(key, value);
    }

    static QString defaultLogFolder()
    {
        return VeloraTest::homePath() + QStringLiteral("/Documents/Velora/logs");
    }

    /// A file in `folder` whose last change was `days` calendar days ago.
    static QString fileAged(const QString &folder, const QString &name, int days)
    {
        const QString path = folder + QLatin1Char('/') + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("log line\n");
        file.flush(); // an unflushed write at close would set the time to now again
        // Noon keeps the calendar date stable whatever the time of day the test runs.
        const QDateTime when(QDate::currentDate().addDays(-days), QTime(12, 0));
        file.setFileTime(when, QFileDevice::FileModificationTime);
        return path;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(SettingImpl::settingsFilePath());
        QDir(VeloraTest::homePath() + QStringLiteral("/Documents")).removeRecursively();
    }

    void firstStartWritesTheStartUpKeys()
    {
        QTranslator translator;
        StartUp::loadLanguage(&translator);
        StartUp::removeExpiredLogFiles();
        const QString logTemplate = StartUp::logFileTemplate();
        QCOMPARE(StartUp::configuredLogLevel(), 5);

        QCOMPARE(stored(QStringLiteral("language")).toString(), QStringLiteral("eng"));
        QCOMPARE(stored(QStringLiteral("logs/logLevel")).toInt(), 5);
        QCOMPARE(stored(QStringLiteral("logs/logFilesExpiryDate")).toInt(), 30);
        QCOMPARE(stored(QStringLiteral("logs/logFilesLocation")).toString(), defaultLogFolder());
        QVERIFY(QDir(defaultLogFolder()).exists());
        QCOMPARE(logTemplate, defaultLogFolder() + QStringLiteral("/VeloraYYMMDD-9999.log"));
    }

    void storedLogFolderIsCreated()
    {
        const QString folder = VeloraTest::homePath() + QStringLiteral("/elsewhere/deep/logs");
        store(QStringLiteral("logs/logFilesLocation"), folder);
        QCOMPARE(StartUp::logFilesFolder(), folder);
        QVERIFY(QDir(folder).exists());
    }

    void nonPositiveExpiryBecomesThirty_data()
    {
        QTest::addColumn<int>("expiry");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -4;
    }

    void nonPositiveExpiryBecomesThirty()
    {
        QFETCH(int, expiry);
        store(QStringLiteral("logs/logFilesExpiryDate"), expiry);
        const QString folder = StartUp::logFilesFolder();
        const QString thirty = fileAged(folder, QStringLiteral("Velora-30.log"), 30);
        const QString thirtyOne = fileAged(folder, QStringLiteral("Velora-31.log"), 31);

        StartUp::removeExpiredLogFiles();

        QCOMPARE(stored(QStringLiteral("logs/logFilesExpiryDate")).toInt(), 30);
        QVERIFY(QFile::exists(thirty));
        QVERIFY(!QFile::exists(thirtyOne));
    }

    void expiryRemovesOldFilesOfAnyNameButNoFolders()
    {
        store(QStringLiteral("logs/logFilesExpiryDate"), 10);
        const QString folder = StartUp::logFilesFolder();
        const QString fresh = fileAged(folder, QStringLiteral("Velora261201-0001.log"), 0);
        const QString limit = fileAged(folder, QStringLiteral("Velora261125-0001.log"), 10);
        const QString old = fileAged(folder, QStringLiteral("notes.txt"), 11);
        const QString hidden = fileAged(folder, QStringLiteral(".old-hidden"), 400);
        QVERIFY(QDir(folder).mkdir(QStringLiteral("archive")));
        const QString nested
                = fileAged(folder + QStringLiteral("/archive"), QStringLiteral("ancient.log"), 400);
        // An old folder, so only its being a folder can save it.
        const qint64 longAgo = QDateTime::currentDateTime().addDays(-400).toSecsSinceEpoch();
        const utimbuf times{time_t(longAgo), time_t(longAgo)};
        QCOMPARE(
                ::utime(QFile::encodeName(folder + QStringLiteral("/archive")).constData(), &times),
                0);

        StartUp::removeExpiredLogFiles();

        QVERIFY(QFile::exists(fresh));
        QVERIFY(QFile::exists(limit));
        QVERIFY(!QFile::exists(old));
        QVERIFY(!QFile::exists(hidden));
        QVERIFY(QFile::exists(nested));
    }

    void missingTranslationKeepsEnglish()
    {
        store(QStringLiteral("language"), QStringLiteral("xyz"));
        QTranslator translator;
        StartUp::loadLanguage(&translator);
        QVERIFY(translator.isEmpty());
        QCOMPARE(QCoreApplication::translate("Velora", "Media Library"),
                 QStringLiteral("Media Library"));
        QCOMPARE(stored(QStringLiteral("language")).toString(), QStringLiteral("xyz"));
        QCoreApplication::removeTranslator(&translator);
    }
};

VELORA_TEST_MAIN(TestStartUp)
#include "tst_startup.moc"

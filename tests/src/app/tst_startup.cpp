#include <LogSystem.h>
#include <MessageBox.h>
#include <SettingImpl.h>
#include <StartUp.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTranslator>

#include <utime.h>

using namespace Qt::StringLiterals;

class TestStartUp : public QObject
{
    Q_OBJECT

private:
    static QVariant stored(const QString &key)
    {
        return QSettings(SettingImpl::settingsFilePath(), QSettings::IniFormat).value(key);
    }

    static void store(const QString &key, const QVariant &value)
    {
        QSettings(SettingImpl::settingsFilePath(), QSettings::IniFormat).setValue(key, value);
    }

    static QString home() { return VeloraTest::homePath(); }

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
        QFile::remove(home() + QStringLiteral("/Documents"));
        QDir(home() + QStringLiteral("/Documents")).removeRecursively();
    }

    void startUpWritesItsKeysAndLogsInTheFirstWritableFolder_data()
    {
        QTest::addColumn<QString>("configured"); // empty for a first start
        QTest::addColumn<QStringList>("blocked"); // a file where a folder would have to be
        QTest::addColumn<QString>("expected");
        QTest::newRow("first start") << QString() << QStringList() << u"/Documents/Velora/logs"_s;
        QTest::newRow("configured, made")
                << u"/elsewhere/deep/logs"_s << QStringList() << u"/elsewhere/deep/logs"_s;
        QTest::newRow("to the default")
                << u"/blocked/logs"_s << QStringList{u"/blocked"_s} << u"/Documents/Velora/logs"_s;
        QTest::newRow("to the runtime folder")
                << u"/blocked/logs"_s << QStringList{u"/blocked"_s, u"/Documents"_s}
                << u"/runtime"_s;
    }

    void startUpWritesItsKeysAndLogsInTheFirstWritableFolder()
    {
        QFETCH(QString, configured);
        QFETCH(QStringList, blocked);
        QFETCH(QString, expected);
        for (const QString &file : blocked)
            QVERIFY(QDir(home() + file).removeRecursively()
                    && QFile(home() + file).open(QIODevice::WriteOnly));
        if (!configured.isEmpty())
            store(QStringLiteral("logs/logFilesLocation"), QString(home() + configured));

        // One line says where the log went instead, and nothing else is said.
        if (!blocked.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(home() + expected));
        QTest::failOnWarning(QRegularExpression(u"."_s));
        QTranslator translator;
        StartUp::loadLanguage(&translator);
        StartUp::removeExpiredLogFiles();
        const QString logFile = StartUp::startLogging();
        LogSystem::getSysLogSystem()->stopLog();
        QFile::remove(home() + QStringLiteral("/blocked"));
        QCOMPARE(QFileInfo(logFile).absolutePath(), home() + expected);
        QCOMPARE(StartUp::logFileTemplate(),
                 stored(u"logs/logFilesLocation"_s).toString() + u"/VeloraYYMMDD-9999.log"_s);
        QCOMPARE(stored(u"language"_s).toString(), u"eng"_s);
        QCOMPARE(stored(u"logs/logLevel"_s).toInt(), 5);
        QCOMPARE(stored(u"logs/logFilesExpiryDate"_s).toInt(), 30);
    }

    void unsaveableSettingsAreToldOnce_data()
    {
        QTest::addColumn<bool>("folderInPlace"); // else the data folder is read-only
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder in place of the file") << true << u"directory"_s;
        QTest::newRow("read-only data folder") << false << u"ermission denied"_s;
    }

    void unsaveableSettingsAreToldOnce()
    {
        QFETCH(bool, folderInPlace);
        QFETCH(QString, reason);
        if (!qEnvironmentVariableIsSet("VELORA_TEST_AS_NOBODY")) {
            // Root may write anywhere: the case runs again, as nobody, in a process of its own.
            QCOMPARE(QProcess::execute(
                             u"setpriv"_s,
                             {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s, u"env"_s,
                              u"VELORA_TEST_AS_NOBODY=1"_s, QCoreApplication::applicationFilePath(),
                              u"unsaveableSettingsAreToldOnce:"_s + QTest::currentDataTag()}),
                     0);
            return;
        }
        if (folderInPlace)
            QVERIFY(QDir().mkpath(SettingImpl::settingsFilePath()));
        else
            QVERIFY(QDir().mkpath(SettingImpl::dataFolder())
                    && QFile::setPermissions(SettingImpl::dataFolder(),
                                             QFile::ReadOwner | QFile::ExeOwner));
        QStringList told;
        MessageBox::setAnswerer([&told](const MessageBox::Question &question) {
            told.append(question.text);
            return QMessageBox::Ok;
        });
        // One line says why, and nothing else is said.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(reason));
        QTest::failOnWarning(QRegularExpression(u"."_s));
        {
            ComponentRef<SettingIntf> settings; // held for the run, as the program does
            QTranslator translator;
            StartUp::loadLanguage(&translator);
            StartUp::removeExpiredLogFiles();
            StartUp::startLogging();
            // The run goes on with what it has, and keeps what it is told.
            settings->setValue(u"NOT_FIRST_TIME_LAUNCH"_s, true);
            QCOMPARE(settings->value(u"language"_s).toString(), u"eng"_s);
            QCOMPARE(settings->value(u"NOT_FIRST_TIME_LAUNCH"_s).toBool(), true);
        }
        LogSystem::getSysLogSystem()->stopLog();
        MessageBox::setAnswerer({});
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.at(0).contains(reason)
                         && told.at(0).contains(SettingImpl::settingsFilePath()),
                 qPrintable(told.at(0)));
    }

    void expiredLogFilesOfAnyNameGoFoldersStay_data()
    {
        QTest::addColumn<int>("expiry");
        QTest::addColumn<int>("used"); // what a value that is not positive becomes
        QTest::newRow("zero") << 0 << 30;
        QTest::newRow("negative") << -4 << 30;
        QTest::newRow("ten") << 10 << 10;
    }

    void expiredLogFilesOfAnyNameGoFoldersStay()
    {
        QFETCH(int, expiry);
        QFETCH(int, used);
        store(QStringLiteral("logs/logFilesExpiryDate"), expiry);
        const QString folder = StartUp::logFilesFolder();
        const QString fresh = fileAged(folder, QStringLiteral("Velora261201-0001.log"), 0);
        const QString limit = fileAged(folder, QStringLiteral("Velora261125-0001.log"), used);
        const QString old = fileAged(folder, QStringLiteral("notes.txt"), used + 1);
        const QString hidden = fileAged(folder, QStringLiteral(".old-hidden"), 400);
        QVERIFY(QDir(folder).mkpath(QStringLiteral("archive")));
        const QString nested
                = fileAged(folder + QStringLiteral("/archive"), QStringLiteral("ancient.log"), 400);
        // An old folder, so only its being a folder can save it.
        const time_t longAgo = QDateTime::currentDateTime().addDays(-400).toSecsSinceEpoch();
        const utimbuf times{longAgo, longAgo};
        QCOMPARE(::utime(QFile::encodeName(folder + u"/archive"_s).constData(), &times), 0);

        StartUp::removeExpiredLogFiles();

        QCOMPARE(stored(QStringLiteral("logs/logFilesExpiryDate")).toInt(), used);
        QVERIFY(QFile::exists(fresh) && QFile::exists(limit) && QFile::exists(nested));
        QVERIFY(!QFile::exists(old) && !QFile::exists(hidden));
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

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
    static QString logs() { return u"/Documents/Velora/logs"_s; }

    /// A file in `folder` whose last change was `days` calendar days ago (at noon, so that the
    /// date holds whatever the time the test runs; flushed, or closing would set the time anew).
    static QString fileAged(const QString &folder, const QString &name, int days)
    {
        QFile file(folder + u'/' + name);
        const QDateTime when(QDate::currentDate().addDays(-days), QTime(12, 0));
        return file.open(QIODevice::WriteOnly) && file.write("log line\n") && file.flush()
                        && file.setFileTime(when, QFileDevice::FileModificationTime)
                ? file.fileName()
                : QString();
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(SettingImpl::settingsFilePath());
        QFile::remove(home() + u"/Documents"_s);
        QDir(home() + u"/Documents"_s).removeRecursively();
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("language"); // stored before the start
        QTest::addColumn<QString>("configured"); // the log folder stored before the start
        QTest::addColumn<QStringList>("blocked"); // a file where a folder would have to be
        QTest::addColumn<QString>("logFolder");
        QTest::addColumn<QString>("unsaveable"); // why the settings cannot be saved
        QTest::newRow("first start")
                << QString() << QString() << QStringList() << logs() << QString();
        QTest::newRow("no such translation, log folder made")
                << u"xyz"_s << u"/deep/logs"_s << QStringList() << u"/deep/logs"_s << QString();
        QTest::newRow("log folder blocked") << QString() << u"/blocked/logs"_s
                                            << QStringList{u"/blocked"_s} << logs() << QString();
        QTest::newRow("default log folder blocked too")
                << QString() << u"/blocked/logs"_s << QStringList{u"/blocked"_s, u"/Documents"_s}
                << u"/runtime"_s << QString();
        QTest::newRow("folder in place of the settings file")
                << QString() << QString() << QStringList() << logs() << u"directory"_s;
        QTest::newRow("read-only data folder")
                << QString() << QString() << QStringList() << logs() << u"ermission denied"_s;
    }

    void startUp()
    {
        QFETCH(QString, language);
        QFETCH(QString, configured);
        QFETCH(QStringList, blocked);
        QFETCH(QString, logFolder);
        QFETCH(QString, unsaveable);
        if (!unsaveable.isEmpty() && !qEnvironmentVariableIsSet("VELORA_TEST_AS_NOBODY")) {
            // Root may write anywhere: the case runs again, as nobody, in a process of its own.
            QCOMPARE(QProcess::execute(u"setpriv"_s,
                                       {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                        u"env"_s, u"VELORA_TEST_AS_NOBODY=1"_s,
                                        QCoreApplication::applicationFilePath(),
                                        u"startUp:"_s + QTest::currentDataTag()}),
                     0);
            return;
        }
        for (const QString &file : blocked)
            QVERIFY(QDir(home() + file).removeRecursively()
                    && QFile(home() + file).open(QIODevice::WriteOnly));
        if (!configured.isEmpty())
            store(u"logs/logFilesLocation"_s, QString(home() + configured));
        if (!language.isEmpty())
            store(u"language"_s, language);
        if (unsaveable == u"directory"_s)
            QVERIFY(QDir().mkpath(SettingImpl::settingsFilePath()));
        else if (!unsaveable.isEmpty())
            QVERIFY(QDir().mkpath(SettingImpl::dataFolder())
                    && QFile::setPermissions(SettingImpl::dataFolder(),
                                             QFile::ReadOwner | QFile::ExeOwner));
        QStringList told;
        MessageBox::setAnswerer([&told](const MessageBox::Question &question) {
            told.append(question.text);
            return QMessageBox::Ok;
        });
        // One line says what went wrong, and nothing else is said.
        if (!blocked.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(home() + logFolder));
        if (!unsaveable.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(unsaveable));
        QTest::failOnWarning(QRegularExpression(u"."_s));

        ComponentRef<SettingIntf> settings; // held for the run, as the program does
        QTranslator translator;
        StartUp::loadLanguage(&translator);
        StartUp::removeExpiredLogFiles();
        const QString logFile = StartUp::startLogging();
        LogSystem::getSysLogSystem()->stopLog();
        MessageBox::setAnswerer({});
        QFile::remove(home() + u"/blocked"_s);
        QCOMPARE(QFileInfo(logFile).absolutePath(), home() + logFolder);
        QVERIFY(translator.isEmpty()); // without a translation the texts stay English
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(told.size(), unsaveable.isEmpty() ? 0 : 1);
        QVERIFY(told.join(QString()).contains(unsaveable));

        // The start-up keys, in the file when it can be written and for the run all the same.
        const QString location = home() + (configured.isEmpty() ? logs() : configured);
        QCOMPARE(StartUp::logFileTemplate(), location + u"/VeloraYYMMDD-9999.log"_s);
        const QList<std::pair<QString, QString>> keys{
                {u"language"_s, language.isEmpty() ? u"eng"_s : language},
                {u"logs/logLevel"_s, u"5"_s},
                {u"logs/logFilesExpiryDate"_s, u"30"_s},
                {u"logs/logFilesLocation"_s, location}};
        for (const auto &[key, value] : keys) {
            QCOMPARE(settings->value(key).toString(), value);
            QCOMPARE(stored(key).toString(), unsaveable.isEmpty() ? value : QString());
        }
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
        store(u"logs/logFilesExpiryDate"_s, expiry);
        const QString folder = StartUp::logFilesFolder();
        const QString limit = fileAged(folder, u"Velora261125-0001.log"_s, used);
        const QString old = fileAged(folder, u"notes.txt"_s, used + 1);
        const QString hidden = fileAged(folder, u".old-hidden"_s, 400);
        QVERIFY(QDir(folder).mkpath(u"archive"_s));
        const QString nested = fileAged(folder + u"/archive"_s, u"ancient.log"_s, 400);
        // An old folder, so only its being a folder can save it.
        const time_t longAgo = QDateTime::currentDateTime().addDays(-400).toSecsSinceEpoch();
        const utimbuf times{longAgo, longAgo};
        QCOMPARE(::utime(QFile::encodeName(folder + u"/archive"_s).constData(), &times), 0);

        StartUp::removeExpiredLogFiles();

        QCOMPARE(stored(u"logs/logFilesExpiryDate"_s).toInt(), used);
        QVERIFY(QFile::exists(limit) && QFile::exists(nested));
        QVERIFY(!QFile::exists(old) && !QFile::exists(hidden));
    }
};

VELORA_TEST_MAIN(TestStartUp)
#include "tst_startup.moc"

#include <LogSystem.h>
#include <MessageBox.h>
#include <SettingImpl.h>
#include <StartUp.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
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
    void xWaylandUnlessAPlatformWasChosen_data()
    {
        QTest::addColumn<QByteArray>("waylandDisplay"); // null: unset
        QTest::addColumn<QByteArray>("platform"); // QT_QPA_PLATFORM; null: unset
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<bool>("xWayland");
        const QByteArray none;
        QTest::newRow("Wayland") << "wayland-0"_ba << none << QList<QByteArray>() << true;
        QTest::newRow("X11") << none << none << QList<QByteArray>() << false;
        QTest::newRow("platform variable") << "wayland-0"_ba
                                           << "wayland"_ba << QList<QByteArray>() << false;
        QTest::newRow("-platform")
                << "wayland-0"_ba << none << QList<QByteArray>{"-platform", "wayland"} << false;
        QTest::newRow("--platform")
                << "wayland-0"_ba << none << QList<QByteArray>{"--platform", "wayland"} << false;
        QTest::newRow("other arguments")
                << "wayland-0"_ba << none << QList<QByteArray>{"-style", "fusion"} << true;
    }

    void xWaylandUnlessAPlatformWasChosen()
    {
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArray, platform);
        QFETCH(QList<QByteArray>, arguments);
        QFETCH(bool, xWayland);
        const QByteArray testPlatform = qgetenv("QT_QPA_PLATFORM");
        waylandDisplay.isNull() ? qunsetenv("WAYLAND_DISPLAY")
                                : qputenv("WAYLAND_DISPLAY", waylandDisplay);
        platform.isNull() ? qunsetenv("QT_QPA_PLATFORM") : qputenv("QT_QPA_PLATFORM", platform);
        std::vector<const char *> argv{"velora"};
        for (const QByteArray &argument : std::as_const(arguments))
            argv.push_back(argument.constData());
        const bool chosen = StartUp::runOnXWayland(int(argv.size()), argv.data());
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("QT_QPA_PLATFORM", testPlatform);
        QCOMPARE(chosen, xWayland);
    }

    void init()
    {
        QFile::remove(SettingImpl::settingsFilePath());
        QFile::remove(home() + u"/Documents"_s);
        QDir(home() + u"/Documents"_s).removeRecursively();
    }

    void startUp_data()
    {
        QTest::addColumn<QString>("language"); // stored before the start
        QTest::addColumn<int>("expiry"); // days stored before the start; 0 for none
        QTest::addColumn<QString>("configured"); // the log folder stored before the start
        QTest::addColumn<QStringList>("blocked"); // a file where a folder would have to be
        QTest::addColumn<QString>("logFolder");
        QTest::addColumn<QString>("unsaveable"); // why the settings cannot be saved
        QTest::newRow("first start")
                << QString() << 0 << QString() << QStringList() << logs() << QString();
        QTest::newRow("no such translation, log folder made")
                << u"xyz"_s << 10 << u"/deep/logs"_s << QStringList() << u"/deep/logs"_s
                << QString();
        QTest::newRow("log folder blocked") << QString() << -4 << u"/blocked/logs"_s
                                            << QStringList{u"/blocked"_s} << logs() << QString();
        QTest::newRow("default log folder blocked too")
                << QString() << 0 << u"/blocked/logs"_s
                << QStringList{u"/blocked"_s, u"/Documents"_s} << u"/runtime"_s << QString();
        QTest::newRow("folder in place of the settings file")
                << QString() << 0 << QString() << QStringList() << logs() << u"directory"_s;
        QTest::newRow("read-only data folder")
                << QString() << 0 << QString() << QStringList() << logs() << u"ermission denied"_s;
    }

    void startUp()
    {
        QFETCH(QString, language);
        QFETCH(int, expiry);
        QFETCH(QString, configured);
        QFETCH(QStringList, blocked);
        QFETCH(QString, logFolder);
        QFETCH(QString, unsaveable);
        if (!unsaveable.isEmpty() && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        for (const QString &file : blocked)
            QVERIFY(QDir(home() + file).removeRecursively()
                    && QFile(home() + file).open(QIODevice::WriteOnly));
        if (!configured.isEmpty())
            store(u"logs/logFilesLocation"_s, QString(home() + configured));
        if (!language.isEmpty())
            store(u"language"_s, language);
        if (expiry != 0)
            store(u"logs/logFilesExpiryDate"_s, expiry);
        const int days = expiry > 0 ? expiry : 30;
        // Old files of any name go, one day younger stays, and so does a folder of any age.
        const QString location = home() + (configured.isEmpty() ? logs() : configured);
        QStringList kept, gone;
        if (blocked.isEmpty() && QDir().mkpath(location + u"/archive"_s)) {
            kept << fileAged(location, u"Velora261125-0001.log"_s, days)
                 << fileAged(location + u"/archive"_s, u"ancient.log"_s, 400);
            gone << fileAged(location, u"notes.txt"_s, days + 1)
                 << fileAged(location, u".old-hidden"_s, 400);
            const time_t longAgo = QDateTime::currentDateTime().addDays(-400).toSecsSinceEpoch();
            const utimbuf times{longAgo, longAgo};
            QCOMPARE(::utime(QFile::encodeName(location + u"/archive"_s).constData(), &times), 0);
        }
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

        for (const QString &file : std::as_const(kept))
            QVERIFY2(QFile::exists(file), qPrintable(file));
        for (const QString &file : std::as_const(gone))
            QVERIFY2(!QFile::exists(file), qPrintable(file));

        // The start-up keys, in the file when it can be written and for the run all the same.
        QCOMPARE(StartUp::logFileTemplate(), location + u"/VeloraYYMMDD-9999.log"_s);
        const QList<std::pair<QString, QString>> keys{
                {u"language"_s, language.isEmpty() ? u"eng"_s : language},
                {u"logs/logLevel"_s, u"5"_s},
                {u"logs/logFilesExpiryDate"_s, QString::number(days)},
                {u"logs/logFilesLocation"_s, location}};
        for (const auto &[key, value] : keys) {
            QCOMPARE(settings->value(key).toString(), value);
            QCOMPARE(stored(key).toString(), unsaveable.isEmpty() ? value : QString());
        }
    }
};

VELORA_TEST_MAIN(TestStartUp)
#include "tst_startup.moc"

#include <SettingImpl.h>
#include <VeloraTest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

private:
    static QString path() { return SettingImpl::settingsFilePath(); }
    static QString documentsMediaFolder()
    {
        return VeloraTest::homePath() + QStringLiteral("/Documents/Velora/Media Library/");
    }

    /// `key` as QSettings reads it from `file`, through a copy: QSettings answers from memory for
    /// a file it wrote itself or has read in the same millisecond at the same size.
    static QVariant readByQt(const QString &file, const QString &key)
    {
        static int copies = 0;
        const QString copy = file + QStringLiteral(".copy%1").arg(++copies);
        return QFile::copy(file, copy) ? QSettings(copy, QSettings::IniFormat).value(key)
                                       : QVariant();
    }

    static void writeRawFile(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(bytes), bytes.size());
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(path());
        QDir(VeloraTest::homePath() + QStringLiteral("/Documents")).removeRecursively();
    }

    void firstUseGivesEveryDefault()
    {
        ComponentRef<SettingIntf> settings;
        QCOMPARE(SettingImpl::dataFolder(),
                 VeloraTest::homePath() + QStringLiteral("/.local/share/Velora/"));
        QVERIFY(QDir(documentsMediaFolder()).exists());
        QCOMPARE(settings->getVideoQuality(), 2);
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);
        QCOMPARE(settings->getPeriod(), 0u);
        QCOMPARE(settings->getAudioSource(), QString());
        QVERIFY(!settings->value(QStringLiteral("webCam/LastWebCamVID")).isValid());
        QCOMPARE(settings->value(QStringLiteral("webCam/LastWebCamVID"), 0x046d).toInt(), 0x046d);

        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        SettingImpl::getInstance()->release(); // giving the store back writes what changed
        QCOMPARE(readByQt(path(), QStringLiteral("savePath")).toString(), documentsMediaFolder());
    }

    void savePathKeepsStoredFolderAndReplacesVanishedOne()
    {
        ComponentRef<SettingIntf> settings;
        const QString chosen = VeloraTest::homePath() + QStringLiteral("/Pictures for class");
        QVERIFY(QDir().mkpath(chosen));
        settings->setSavePath(chosen);
        // The separator is added for the caller, not written into the file.
        QCOMPARE(settings->getSavePath(), chosen + QLatin1Char('/'));
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), QStringLiteral("savePath")).toString(), chosen);

        // A removed drive or deleted folder falls back to the default, which is stored.
        QVERIFY(QDir(chosen).removeRecursively());
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), QStringLiteral("savePath")).toString(), documentsMediaFolder());
    }

    void valuesReadTheSameThroughQSettings_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("quotes, commas, = and ;")
                << u"savePath"_s << QVariant(u"/home/t/\"A\", b=c; d"_s);
        QTest::newRow("blanks, backslash, line break")
                << u"recording/audioSource"_s << QVariant(u"  Mic \\ 2\n\tleft  "_s);
        QTest::newRow("starts with @") << u"a/b/c"_s << QVariant(u"@Rect(1 2 3 4)"_s);
        QTest::newRow("beyond ASCII") << u"language"_s << QVariant(u"Ünïcødé 🎥"_s);
        QTest::newRow("number") << u"capture/elapsed-time/totalTime"_s << QVariant(259200u);
        QTest::newRow("bool") << u"recording/mute"_s << QVariant(true);
        QTest::newRow("list") << u"l"_s << QVariant(QStringList{u"a, b"_s, u"@c"_s, {}});
        QTest::newRow("empty list") << u"l"_s << QVariant(QStringList());
        QTest::newRow("bytes") << u"b"_s
                               << QVariant(QByteArray("\x00\x7f\xff"
                                                      "1)",
                                                      5));
        QTest::newRow("rect") << u"r"_s << QVariant(QRect(-1, 2, 30, 40));
        QTest::newRow("date") << u"d"_s << QVariant(QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
        QTest::newRow("odd key") << u"Grüße aus/k%ey=1 [x]/;y"_s << QVariant(7);
        QTest::newRow("group named General") << u"General/x"_s << QVariant(u"g"_s);
    }

    void valuesReadTheSameThroughQSettings()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        const QString written = path() + QStringLiteral(".qt");
        QSettings(written, QSettings::IniFormat).setValue(key, value);
        const QVariant expected = readByQt(written, key);
        QVERIFY(QFile::rename(written, path()));
        {
            ComponentRef<SettingIntf> settings;
            QCOMPARE(settings->value(key), expected);
            QFile::remove(path());
            settings->setValue(key, value);
        }
        QCOMPARE(readByQt(path(), key), expected);
    }

    void outsideChangesAreSeenAtTheNextRead_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("replace"); // by a rename, or written in place
        QTest::addColumn<qint64>("nanosecondsLater"); // modification time; -1 as it comes
        QTest::newRow("by another process")
                << QByteArray("[recording]\nvideoQuality=12\n") << false << qint64(-1);
        QTest::newRow("same size and time, replaced")
                << QByteArray("[recording]\nvideoQuality=2\n") << true << qint64(0);
        QTest::newRow("same time, new size")
                << QByteArray("[recording]\nvideoQuality=12\n") << false << qint64(0);
        QTest::newRow("same size, a microsecond later")
                << QByteArray("[recording]\nvideoQuality=2\n") << false << qint64(1000);
    }

    void outsideChangesAreSeenAtTheNextRead()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, replace);
        QFETCH(qint64, nanosecondsLater);
        writeRawFile(path(), "[recording]\nvideoQuality=1\n");
        ComponentRef<SettingIntf> settings;
        QCOMPARE(settings->getVideoQuality(), 1);
        settings->setMute(true); // not written yet, and must survive the change
        struct stat before = {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &before), 0);

        const QString target = replace ? path() + QStringLiteral(".new") : path();
        if (nanosecondsLater < 0) {
            QCOMPARE(QProcess::execute(u"sh"_s,
                                       {u"-c"_s, u"printf \"$1\" > \"$0\""_s, target,
                                        QString::fromLatin1(content)}),
                     0);
        } else {
            writeRawFile(target, content);
            // Only the size or the inode can tell this file from the one read before.
            timespec times[2] = {before.st_mtim, before.st_mtim};
            times[1].tv_nsec = (times[1].tv_nsec + nanosecondsLater) % 1000000000;
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(target).constData(), times, 0), 0);
        }
        if (replace)
            QCOMPARE(::rename(QFile::encodeName(target).constData(),
                              QFile::encodeName(path()).constData()),
                     0);

        const int expected = content.contains("=12") ? 12 : 2;
        QCOMPARE(settings->getVideoQuality(), expected);
        QCOMPARE(settings->getMute(), true);
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), QStringLiteral("recording/videoQuality")).toInt(), expected);
        QCOMPARE(readByQt(path(), QStringLiteral("recording/mute")).toBool(), true);
    }

    void damagedFilesAreSurvived_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 7919 + 13) % 256));
        QTest::newRow("garbage bytes") << garbage;
        QTest::newRow("truncated mid-line")
                << QByteArray("[General]\nlanguage=eng\nsavePath=/home/teach");
        QTest::newRow("unterminated group") << QByteArray("[recording\nvideoQuality=1\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not numbers") << QByteArray("[recording]\nvideoQuality=high\nmute=loud\n"
                                                   "[capture]\nelapsed-time\\totalTime=-5\n");
    }

    void damagedFilesAreSurvived()
    {
        QFETCH(QByteArray, content);
        writeRawFile(path(), content);
        ComponentRef<SettingIntf> settings;
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        QVERIFY(settings->getVideoQuality() >= 0);
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);

        // Whatever was wrong with the file, the store keeps working and writes stick.
        settings->setVideoQuality(1);
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), QStringLiteral("recording/videoQuality")).toInt(), 1);
    }
};

VELORA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"

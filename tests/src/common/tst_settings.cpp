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
        return VeloraTest::homePath() + u"/Documents/Velora/Media Library/"_s;
    }

    /// `key` as QSettings reads it from `file`, through a copy: QSettings answers from memory for a
    /// file it wrote, or read in the same millisecond at the same size.
    static QVariant readByQt(const QString &file, const QString &key)
    {
        static int copies = 0;
        const QString copy = file + u".copy%1"_s.arg(++copies);
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
        QDir(VeloraTest::homePath() + u"/Documents"_s).removeRecursively();
        QDir().mkpath(SettingImpl::dataFolder());
    }

    void firstUseGivesEveryDefaultAndAVanishedFolderGivesWay()
    {
        ComponentRef<SettingIntf> settings;
        QVERIFY(QDir(documentsMediaFolder()).exists());
        QCOMPARE(settings->getVideoQuality(), 2);
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);
        QCOMPARE(settings->getPeriod(), 0u);
        QCOMPARE(settings->getAudioSource(), QString());
        QVERIFY(!settings->value(u"webCam/LastWebCamVID"_s).isValid());
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        const QString chosen = VeloraTest::homePath() + u"/Pictures for class"_s;
        QVERIFY(QDir().mkpath(chosen));
        settings->setSavePath(chosen);
        // The separator is added for the caller, not written into the file.
        QCOMPARE(settings->getSavePath(), chosen + QLatin1Char('/'));
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), u"savePath"_s).toString(), chosen);
        // A removed drive or deleted folder falls back to the default, which is stored.
        QVERIFY(QDir(chosen).removeRecursively());
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), u"savePath"_s).toString(), documentsMediaFolder());
    }

    void valuesReadTheSameThroughQSettings()
    {
        const QVariantMap values{{u"savePath"_s, u"@ \"A\", b=c; d\\\n\tÜ 🎥 "_s},
                                 {u"a/b/c"_s, QStringList{u"a, b"_s, u"@c"_s, {}}},
                                 {u"b"_s,
                                  QByteArray("\x00\x7f\xff"
                                             "1)",
                                             5)},
                                 {u"t"_s,
                                  QVariantList{QRect(-1, 2, 30, 40), 7, true,
                                               QDateTime(QDate(2026, 1, 2), QTime(3, 4))}},
                                 {u"Grüße aus/k%ey=1 [x]/;y"_s, 259200u},
                                 {u"General/x"_s, false}};
        const QString written = path() + u".qt"_s;
        QSettings qt(written, QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            qt.setValue(it.key(), it.value());
        qt.sync();
        QVERIFY(QFile::copy(written, path()));
        ComponentRef<SettingIntf> settings;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(settings->value(it.key()), readByQt(written, it.key()));
        QFile::remove(path());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings->setValue(it.key(), it.value());
        QVERIFY(SettingImpl::peekInstance()->flush());
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            QCOMPARE(readByQt(path(), it.key()), readByQt(written, it.key()));
    }

    void outsideChangesAreSeenAtTheNextRead_data()
    {
        QTest::addColumn<int>("quality"); // 12 gives the file another size than 1
        QTest::addColumn<bool>("replace"); // by a rename, else rewritten in place by cp
        QTest::addColumn<qint64>("nanosecondsLater"); // the modification time; -1 as it comes
        QTest::newRow("new size and time") << 12 << false << qint64(-1);
        QTest::newRow("same size and time, new file") << 2 << true << qint64(0);
        QTest::newRow("same time, new size") << 12 << false << qint64(0);
        QTest::newRow("same size, a microsecond later") << 2 << false << qint64(1000);
    }

    void outsideChangesAreSeenAtTheNextRead()
    {
        QFETCH(int, quality);
        QFETCH(bool, replace);
        QFETCH(qint64, nanosecondsLater);
        writeRawFile(path(), "[recording]\nvideoQuality=1\n");
        ComponentRef<SettingIntf> settings;
        QCOMPARE(settings->getVideoQuality(), 1);
        settings->setMute(true); // not written yet, and must survive the change
        struct stat before = {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &before), 0);
        const QString fresh = path() + u".new"_s;
        QFile current(path());
        QVERIFY(current.open(QIODevice::ReadOnly));
        writeRawFile(fresh,
                     current.readAll().replace(
                             "=1\n", QByteArray("=" + QByteArray::number(quality) + "\n")));
        // With the time pinned, only the size or the inode tells this file from the one read.
        timespec times[2] = {before.st_mtim, before.st_mtim};
        times[1].tv_nsec = (times[1].tv_nsec + nanosecondsLater) % 1000000000;
        QVERIFY(nanosecondsLater < 0
                || ::utimensat(AT_FDCWD, QFile::encodeName(fresh).constData(), times, 0) == 0);
        if (replace)
            QVERIFY(::rename(QFile::encodeName(fresh), QFile::encodeName(path())) == 0);
        else
            QCOMPARE(QProcess::execute(u"cp"_s, {u"--preserve=timestamps"_s, fresh, path()}), 0);

        QCOMPARE(settings->getVideoQuality(), quality);
        QCOMPARE(settings->getMute(), true);
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), u"recording/videoQuality"_s).toInt(), quality);
        QCOMPARE(readByQt(path(), u"recording/mute"_s).toBool(), true);
    }

    void damagedFilesAreSurvived_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("garbage bytes")
                << QByteArray("\x01\xfe[\x00\x80=\n\xff;\"", 10).repeated(400);
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
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);

        // Whatever was wrong with the file, the store keeps working and writes stick.
        settings->setVideoQuality(1);
        QVERIFY(SettingImpl::peekInstance()->flush());
        QCOMPARE(readByQt(path(), u"recording/videoQuality"_s).toInt(), 1);
    }
};

VELORA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"

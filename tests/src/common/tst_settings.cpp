#include <SettingImpl.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

class TestSettings : public QObject
{
    Q_OBJECT

private:
    static QString documentsMediaFolder()
    {
        return VeloraTest::homePath() + QStringLiteral("/Documents/Velora/Media Library/");
    }

    /// What is actually in the file, read without the store.
    static QVariant stored(const QString &key)
    {
        QSettings file(SettingImpl::settingsFilePath(), QSettings::IniFormat);
        return file.value(key);
    }

    static void writeRawFile(const QByteArray &bytes)
    {
        QFile file(SettingImpl::settingsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(SettingImpl::settingsFilePath());
        QDir(VeloraTest::homePath() + QStringLiteral("/Documents")).removeRecursively();
    }

    void firstUseGivesEveryDefault()
    {
        QVERIFY(!QFile::exists(SettingImpl::settingsFilePath()));
        ComponentRef<SettingIntf> settings;
        QCOMPARE(SettingImpl::dataFolder(),
                 VeloraTest::homePath() + QStringLiteral("/.local/share/Velora/"));
        QVERIFY(QDir(SettingImpl::dataFolder()).exists());
        QVERIFY(QDir(documentsMediaFolder()).exists());

        QCOMPARE(settings->getVideoQuality(), 2);
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);
        QCOMPARE(settings->getPeriod(), 0u);
        QCOMPARE(settings->getAudioSource(), QString());

        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        QCOMPARE(stored(QStringLiteral("savePath")).toString(), documentsMediaFolder());
    }

    void typedValuesRoundTripThroughTheFile()
    {
        ComponentRef<SettingIntf> settings;
        settings->setVideoQuality(0);
        settings->setMute(true);
        settings->setTotalTime(72 * 3600);
        settings->setPeriod(60);
        settings->setAudioSource(QStringLiteral("Built-in Audio Analog Stereo"));

        QCOMPARE(stored(QStringLiteral("recording/videoQuality")).toInt(), 0);
        QCOMPARE(stored(QStringLiteral("capture/elapsed-time/totalTime")).toUInt(), 72u * 3600);
        QCOMPARE(settings->getVideoQuality(), 0);
        // Nothing is cached: a change made behind the store's back, as by a second Velora, is
        // seen at the next read.
        {
            QSettings other(SettingImpl::settingsFilePath(), QSettings::IniFormat);
            other.setValue(QStringLiteral("recording/videoQuality"), 1);
        }
        QCOMPARE(settings->getVideoQuality(), 1);
        QCOMPARE(settings->getMute(), true);
        QCOMPARE(settings->getTotalTime(), 72u * 3600);
        QCOMPARE(settings->getPeriod(), 60u);
        QCOMPARE(settings->getAudioSource(), QStringLiteral("Built-in Audio Analog Stereo"));
    }

    void savePathKeepsStoredFolderAndReplacesVanishedOne()
    {
        ComponentRef<SettingIntf> settings;
        const QString chosen = VeloraTest::homePath() + QStringLiteral("/Pictures for class");
        QVERIFY(QDir().mkpath(chosen));
        settings->setSavePath(chosen);
        // The separator is added for the caller, not written into the file.
        QCOMPARE(settings->getSavePath(), chosen + QLatin1Char('/'));
        QCOMPARE(stored(QStringLiteral("savePath")).toString(), chosen);

        // A removed drive or deleted folder falls back to the default, which is stored.
        QVERIFY(QDir(chosen).removeRecursively());
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        QCOMPARE(stored(QStringLiteral("savePath")).toString(), documentsMediaFolder());
        QVERIFY(QDir(documentsMediaFolder()).exists());
    }

    void genericValuesWithAndWithoutDefault()
    {
        ComponentRef<SettingIntf> settings;
        QVERIFY(!settings->value(QStringLiteral("webCam/LastWebCamVID")).isValid());
        QCOMPARE(settings->value(QStringLiteral("webCam/LastWebCamVID"), 0x046d).toInt(), 0x046d);
        settings->setValue(QStringLiteral("webCam/LastWebCamVID"), 0x1234);
        QCOMPARE(settings->value(QStringLiteral("webCam/LastWebCamVID")).toInt(), 0x1234);
        QCOMPARE(settings->value(QStringLiteral("webCam/LastWebCamVID"), 7).toInt(), 0x1234);
    }

    void instanceIsSharedAndRebuiltAfterLastRelease()
    {
        SettingImpl *first = SettingImpl::getInstance();
        SettingImpl *second = SettingImpl::getInstance();
        QCOMPARE(first, second);
        first->release();
        QCOMPARE(SettingImpl::peekInstance(), second);
        second->release();
        QCOMPARE(SettingImpl::peekInstance(), nullptr);

        // A new instance redoes the folder creation.
        QVERIFY(QDir(VeloraTest::homePath() + QStringLiteral("/Documents")).removeRecursively());
        SettingImpl *fresh = SettingImpl::getInstance();
        QVERIFY(QDir(documentsMediaFolder()).exists());
        fresh->release();
    }

    void nonNumbersReadAsZeroAndFalse()
    {
        writeRawFile("[recording]\nvideoQuality=high\nmute=loud\n"
                     "[capture]\nelapsed-time\\totalTime=-5\n");
        ComponentRef<SettingIntf> settings;
        QCOMPARE(settings->getVideoQuality(), 0);
        QCOMPARE(settings->getMute(), false);
        QCOMPARE(settings->getTotalTime(), 0u);
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
    }

    void damagedFilesAreSurvived()
    {
        QFETCH(QByteArray, content);
        writeRawFile(content);
        ComponentRef<SettingIntf> settings;
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
        const int quality = settings->getVideoQuality();
        QVERIFY(quality >= 0);

        // Whatever was wrong with the file, the store keeps working and writes stick.
        settings->setVideoQuality(1);
        QCOMPARE(settings->getVideoQuality(), 1);
        QCOMPARE(settings->getSavePath(), documentsMediaFolder());
    }
};

VELORA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"

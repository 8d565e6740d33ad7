#include "AudioInputList.h"
#include "AudioLevel.h"
#include "AudioLevelReporter.h"

#include <VeloraTest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtEndian>

#include <memory>

namespace {

QString pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qWarning() << "pactl" << arguments << "failed:" << process.readAllStandardError();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QByteArray samples(const QList<qint16> &values)
{
    QByteArray bytes(values.size() * 2, Qt::Uninitialized);
    for (int i = 0; i < values.size(); ++i)
        qToLittleEndian<qint16>(values[i], bytes.data() + 2 * i);
    return bytes;
}

/// Plays `left` and `right` as constant stereo samples into the second null sink, so that its
/// monitor reads exactly these values.
auto playConstant(QTemporaryFile &file, qint16 left, qint16 right)
{
    file.open();
    file.resize(0);
    file.write(samples({left, right}).repeated(44100 * 30));
    file.close();
    auto player = std::unique_ptr<QProcess, void (*)(QProcess *)>(new QProcess, [](QProcess *p) {
        p->kill();
        p->waitForFinished();
        delete p;
    });
    player->start(QStringLiteral("pacat"),
                  {QStringLiteral("--playback"), QStringLiteral("--latency-msec=20"),
                   QStringLiteral("-d"), QStringLiteral("velora_second_output"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                   QStringLiteral("--channels=2"), file.fileName()});
    player->waitForStarted();
    return player;
}

} // namespace

class TestAudio : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void monitorLevel_data();
    void monitorLevel();
    void recordingLevel_data();
    void recordingLevel();
    void levelIsThatOfTheSamplesRead();
    void inputThatComesAndGoes();
};

void TestAudio::monitorLevel_data()
{
    QTest::addColumn<QList<qint16>>("interleaved");
    QTest::addColumn<int>("level");
    QTest::newRow("full scale") << QList<qint16>{32767, 0} << 83;
    QTest::newRow("1,000 is 20 dB") << QList<qint16>{1000, 0} << 33;
    QTest::newRow("100 is the floor") << QList<qint16>{100, 32767} << 0;
    QTest::newRow("101 rounds down to 0") << QList<qint16>{101, 0} << 0;
    QTest::newRow("zero") << QList<qint16>{0, 32767} << 0;
    QTest::newRow("negative") << QList<qint16>{-32768, 0} << 0;
    QTest::newRow("last first-channel sample wins") << QList<qint16>{32767, 0, 1000, 5} << 33;
    QTest::newRow("no whole frame") << QList<qint16>{32767} << 0;
}

void TestAudio::monitorLevel()
{
    QFETCH(QList<qint16>, interleaved);
    QFETCH(int, level);
    const QByteArray buffer = samples(interleaved);
    QCOMPARE(int(AudioLevel::ofMonitorBuffer(buffer.constData(), buffer.size())), level);
}

void TestAudio::recordingLevel_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("level");
    QTest::newRow("10,000 is quiet") << 4096 << 2040 << 10000 << 0;
    QTest::newRow("10,001") << 4096 << 2040 << 10001 << 15;
    QTest::newRow("64,999") << 4096 << 2040 << 64999 << 99;
    QTest::newRow("65,000 is clipping") << 4096 << 2040 << 65000 << 0;
    QTest::newRow("between the positions looked at") << 4096 << 2045 << 0 << 61;
    QTest::newRow("short buffer ends at 40") << 100 << 40 << 30000 << 45;
}

void TestAudio::recordingLevel()
{
    QFETCH(int, bytes);
    QFETCH(int, position);
    QFETCH(int, value);
    QFETCH(int, level);
    // Every other sample holds 40,000 (level 61).
    QList<qint16> values(bytes / 2, qint16(quint16(40000)));
    values[position] = qint16(quint16(value));
    const QByteArray buffer = samples(values);
    QCOMPARE(int(AudioLevel::ofRecordingBuffer(buffer.constData(), buffer.size())), level);
}

void TestAudio::levelIsThatOfTheSamplesRead()
{
    AudioLevelReporter reporter;
    QVERIFY(!reporter.open(QStringLiteral("No such microphone")));
    QCOMPARE(reporter.level(), quint16(0));

    QVERIFY(reporter.open(QStringLiteral("Velora null input")));
    QVERIFY(reporter.start());
    QTRY_VERIFY(reporter.buffersRead() > 5);
    QCOMPARE(reporter.level(), quint16(0));

    // Switching to another input while one is read; the second channel never counts.
    QTemporaryFile sound;
    auto player = playConstant(sound, 1000, 32767);
    QVERIFY(reporter.open(QStringLiteral("velora second inp")));
    QVERIFY(reporter.start());
    QTRY_COMPARE(reporter.level(), quint16(33));
    player = playConstant(sound, 32767, 1000);
    QTRY_COMPARE(reporter.level(), quint16(83));
    reporter.close();
    QCOMPARE(reporter.level(), quint16(0));
}

void TestAudio::inputThatComesAndGoes()
{
    AudioInputList inputs;
    const QStringList names = inputs.names();
    QVERIFY2(names.contains(QStringLiteral("Sine source at 440 Hz")), qPrintable(names.join('|')));
    QVERIFY(names.contains(QStringLiteral("Velora second input")));
    const int before = inputs.deviceCount();
    QCOMPARE(before, names.size());

    // A microphone plugged in while Velora runs, with the sound of the second output on it.
    QSignalSpy changed(&inputs, &AudioInputList::inputsChanged);
    const QString plugged = QStringLiteral("Velora plugged microphone");
    const QString module
            = pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                     QStringLiteral("source_name=velora_plugged"),
                     QStringLiteral("master=velora_second_output.monitor"),
                     QStringLiteral("source_properties='device.description=\"%1\"'").arg(plugged)});
    QVERIFY(!module.isEmpty());
    QTRY_VERIFY(!changed.isEmpty() && changed.last().first().toStringList().contains(plugged));
    QCOMPARE(inputs.deviceCount(), before + 1);

    QTemporaryFile sound;
    auto player = playConstant(sound, 1000, 0);
    AudioLevelReporter reporter;
    QVERIFY(reporter.open(plugged));
    QVERIFY(reporter.start());
    QTRY_COMPARE(reporter.level(), quint16(33));

    changed.clear();
    pactl({QStringLiteral("unload-module"), module});
    QTRY_VERIFY(!changed.isEmpty());
    QVERIFY(!inputs.names().contains(plugged));
    QCOMPARE(inputs.deviceCount(), before);
    QTRY_COMPARE(reporter.level(), quint16(0));
}

VELORA_TEST_MAIN(TestAudio)
#include "tst_audio.moc"

#include <SettingIntf.h>
#include <VeloraTest.h>
#include <VolumeController.h>

#include <QProcess>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {
constexpr int FullVolume = 65536;
constexpr int NoTarget = -1;
// The test server's inputs and its default output (the default input is velora_null_input).
const QList<std::pair<QString, QString>> devices{{u"source"_s, u"velora_sine_input"_s},
                                                 {u"source"_s, u"velora_second_output.monitor"_s},
                                                 {u"source"_s, u"velora_null_input"_s},
                                                 {u"sink"_s, u"velora_null_output"_s}};

/// pactl's output on the test server; empty when it fails.
QString pactl(const QStringList &arguments)
{
    // The server ctest started, whatever PULSE_SERVER names later.
    static const QString server = "--server=" + qEnvironmentVariable("PULSE_SERVER");
    QProcess process;
    process.start(u"pactl"_s, QStringList{server} + arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

/// The server's volume of `device` ("Volume: mono: 32767 /  50% / ..."); -1 when unknown.
int serverVolume(const QString &kind, const QString &device)
{
    static const QRegularExpression volume(u"Volume: [^:]+: +(\\d+) /"_s);
    const QRegularExpressionMatch match = volume.match(pactl({"get-" + kind + "-volume", device}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void setServerVolumes(int volume)
{
    for (const auto &[kind, device] : devices)
        pactl({"set-" + kind + "-volume", device, QString::number(volume)});
}
} // namespace

class TestVolumeController : public QObject
{
    Q_OBJECT

    ComponentRef<SettingIntf> settings;
    VolumeController *controller = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(serverVolume(u"sink"_s, u"@DEFAULT_SINK@"_s) > 0,
                 "No sound server at PULSE_SERVER, which ctest sets");
        controller = VolumeController::getInstance();
    }

    void cleanupTestCase()
    {
        controller->release();
        setServerVolumes(FullVolume); // other tests share the server
    }

    void eachVolumeIsItsDevices_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("device");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<int>("onServer");
        QTest::addColumn<quint32>("readBack");
        // In this order: each row changes the setting the controller matched before.
        QTest::newRow("input named as listed") << NoTarget << u"Sine source at 440 Hz"_s
                                               << devices[0].second << 32767u << 32767 << 32766u;
        QTest::newRow("another input") << NoTarget << u"Monitor of Velora second output"_s
                                       << devices[1].second << 16383u << 16383 << 16382u;
        QTest::newRow("within a longer name") << NoTarget << u"Microphone (Velora null input)"_s
                                              << devices[2].second << 65534u << 65534 << 65533u;
        QTest::newRow("case aside, above 100 %")
                << NoTarget << u"SINE SOURCE at 440 hz"_s << devices[0].second << 70000u
                << FullVolume << 65535u;
        QTest::newRow("no such input")
                << NoTarget << u"No such microphone"_s << QString() << 100u << 0 << 0u;
        QTest::newRow("no input chosen") << NoTarget << QString() << QString() << 100u << 0 << 0u;
        QTest::newRow("default output") << int(VolumeController::DefaultOutput) << QString()
                                        << devices[3].second << 32767u << 32767 << 32766u;
        QTest::newRow("default input") << int(VolumeController::DefaultInput) << QString()
                                       << devices[2].second << 16383u << 16383 << 16382u;
        QTest::newRow("no such target") << 2 << QString() << QString() << 100u << 0 << 0u;
    }

    void eachVolumeIsItsDevices()
    {
        QFETCH(int, target);
        QFETCH(QString, setting);
        QFETCH(QString, device);
        QFETCH(quint32, value);
        QFETCH(int, onServer);
        QFETCH(quint32, readBack);
        setServerVolumes(2 * FullVolume);
        settings->setAudioSource(setting);
        const auto read = [&] {
            return target == NoTarget ? controller->recordingVolume() : controller->volume(target);
        };
        QCOMPARE(read(), device.isEmpty() ? 0u : 65535u);
        QCOMPARE(target == NoTarget ? controller->setRecordingVolume(value)
                                    : controller->setVolume(target, value),
                 !device.isEmpty());
        for (const auto &[kind, name] : devices)
            QCOMPARE(serverVolume(kind, name), name == device ? onServer : 2 * FullVolume);
        QCOMPARE(read(), readBack);
    }

    void aReplacedInputIsFoundAgainAndAnExactNameWins()
    {
        // "Monitor of Velora null output", listed first, contains the name as well.
        const QStringList plugIn{u"load-module"_s, u"module-null-source"_s,
                                 u"description='Velora null'"_s};
        settings->setAudioSource(u"VELORA NULL"_s);
        QString module = pactl(plugIn + QStringList{u"source_name=velora_plug_a"_s});
        QVERIFY(controller->setRecordingVolume(16383));
        pactl({u"unload-module"_s, module});
        module = pactl(plugIn + QStringList{u"source_name=velora_plug_b"_s});
        QVERIFY(controller->setRecordingVolume(32767));
        QCOMPARE(serverVolume(u"source"_s, u"velora_plug_b"_s), 32767);
        pactl({u"unload-module"_s, module});
    }

    void aServerThatGoesAndComesBackIsReconnected()
    {
        // A listener of its own, so that dropping its connections leaves other tests alone.
        const QString socket = VeloraTest::homePath() + u"/pulse-native"_s;
        const QStringList listen{u"load-module"_s, u"module-native-protocol-unix"_s,
                                 "socket=" + socket, u"auth-anonymous=1"_s};
        QString module = pactl(listen);
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        controller->release();
        controller = VolumeController::getInstance();
        QVERIFY(controller->setVolume(VolumeController::DefaultOutput, 16383));
        pactl({u"unload-module"_s, module});
        module = pactl(listen);
        QVERIFY(controller->setVolume(VolumeController::DefaultOutput, 32767));
        QCOMPARE(serverVolume(u"sink"_s, u"@DEFAULT_SINK@"_s), 32767);
        pactl({u"unload-module"_s, module});
    }
};

VELORA_TEST_MAIN(TestVolumeController)
#include "tst_volumecontroller.moc"

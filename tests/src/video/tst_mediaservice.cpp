#include "AviFile.h"
#include "MediaService.h"
#include "ScreenGrabber.h"

#include <VeloraTest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

using Clock = std::chrono::steady_clock;

namespace {

/// A frame sink as the video widget is one: keeps what arrives and when.
class FrameRecorder : public VideoFrameSink
{
public:
    QSize target;
    mutable std::mutex mutex;
    QImage last;
    int count = 0;
    qint64 lastPts = -1;
    std::vector<Clock::time_point> flashes; // white pictures after a dark one
    bool white = false;

    QSize targetSize() const override { return target; }
    void deliverFrame(QImage frame, qint64 ptsMs) override
    {
        std::lock_guard lock(mutex);
        lastPts = ptsMs;
        const bool nowWhite = qGray(frame.pixel(frame.width() / 2, frame.height() / 2)) > 128;
        if (nowWhite && !white)
            flashes.push_back(Clock::now());
        white = nowWhite;
        last = std::move(frame);
        ++count;
    }
    int frames() const
    {
        std::lock_guard lock(mutex);
        return count;
    }
    qint64 lastShownPts() const
    {
        std::lock_guard lock(mutex);
        return lastPts;
    }
};

/// Records the default output's monitor and notes when each beep starts, in the time of the
/// samples played.
class BeepRecorder
{
public:
    static constexpr int Rate = 8000;
    std::atomic<bool> stop{false};
    std::atomic<int> samples{0};
    std::atomic<int> loudest{0};
    std::vector<Clock::time_point> beeps;
    std::thread thread{[this] {
        run();
    }};

    ~BeepRecorder() { finish(); }
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
    void run()
    {
        // Mono 16-bit at a low rate: enough to find a 1 kHz beep's start within a millisecond.
        const pa_sample_spec format{PA_SAMPLE_S16LE, Rate, 1};
        const pa_buffer_attr attr{~0u, ~0u, ~0u, ~0u, Rate * 2 / 100};
        pa_simple *stream = pa_simple_new(nullptr, "tst_mediaservice", PA_STREAM_RECORD,
                                          "velora_null_output.monitor", "beeps", &format, nullptr,
                                          &attr, nullptr);
        if (!stream) {
            qWarning() << "no record stream";
            return;
        }
        qint16 chunk[Rate / 100];
        int quiet = 0;
        while (!stop && pa_simple_read(stream, chunk, sizeof chunk, nullptr) == 0) {
            samples += Rate / 100;
            // A null sink plays by rendering, and its monitor hands each block over as it is
            // rendered: the time a sample arrives here is the time it was played.
            const auto readAt = Clock::now();
            for (int i = 0; i < Rate / 100; ++i) {
                if (std::abs(chunk[i]) > loudest)
                    loudest = std::abs(chunk[i]);
                if (std::abs(chunk[i]) < 3000) {
                    ++quiet;
                    continue;
                }
                if (quiet > Rate / 5)
                    beeps.push_back(readAt
                                    - std::chrono::microseconds((Rate / 100 - i) * 1000000 / Rate));
                quiet = 0;
            }
        }
        pa_simple_free(stream);
    }
};

/// Colours equal but for what lossy compression does to them.
bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) < 60;
}

/// The sound streams this process plays into the PulseAudio server.
int ourSoundStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    pactl.waitForFinished();
    return QString::fromUtf8(pactl.readAllStandardOutput())
            .count(QStringLiteral("application.process.id = \"%1\"")
                           .arg(QCoreApplication::applicationPid()));
}

} // namespace

class TestMediaService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void openByType_data();
    void openByType();
    void playsIntoSink_data();
    void playsIntoSink();
    void endOfFileRewinds();
    void seekStaysWithinDuration();
    void pauseHoldsPosition();
    void volumeIsGain();
    void veloraRecordingsPlay_data();
    void veloraRecordingsPlay();
    void pictureFollowsSound();

private:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    void make(const char *name, const QString &video, const QString &audio,
              const QStringList &codecs);

    QTemporaryDir dir;
};

void TestMediaService::make(const char *name, const QString &video, const QString &audio,
                            const QStringList &codecs)
{
    QStringList arguments{"-v", "error", "-f", "lavfi", "-i", video};
    if (!audio.isEmpty())
        arguments << QStringList{"-f", "lavfi", "-i", audio, "-ac", "2"};
    QCOMPARE(QProcess::execute("ffmpeg", arguments << codecs << file(name)), 0);
}

void TestMediaService::initTestCase()
{
    const QStringList xvid{"-c:v", "mpeg4", "-vtag", "XVID", "-g", "10", "-c:a", "pcm_s16le"};
    make("silent.AVI", "color=c=red:size=320x240:rate=25:duration=2", {}, xvid);
    make("sound.avi", "color=c=red:size=320x240:rate=25:duration=2",
         "sine=frequency=440:sample_rate=8000:duration=2", xvid);
    make("mono.avi", "color=c=red:size=320x240:rate=25:duration=2",
         "sine=frequency=440:sample_rate=8000:duration=2", xvid + QStringList{"-ac", "1"});
    make("red.wmv", "color=c=red:size=320x240:rate=25:duration=2",
         "sine=frequency=440:sample_rate=22050:duration=2", {"-c:v", "wmv2", "-c:a", "wmav2"});
    // A white picture and a 100 ms beep at the start of every second.
    make("sync.avi",
         "color=c=black:size=160x120:rate=25:duration=9,"
         "drawbox=c=white:t=fill:enable='lt(mod(t,1),0.04)'",
         "aevalsrc='if(lt(mod(t,1),0.1),0.7*sin(2*PI*1000*t),0)':s=8000:d=9", xvid);
    QVERIFY(QFile::copy(file("sound.avi"), file("sound.mp4")));
    QFile garbage(file("garbage.avi"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("RIFF\x10\0\0\0AVI LIST").repeated(1000));
}

void TestMediaService::openByType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<MediaService::MediaStatus>>("statuses");
    const QList<MediaService::MediaStatus> loaded{MediaService::LoadingMedia,
                                                  MediaService::LoadedMedia};
    QTest::newRow("upper-case .AVI") << "silent.AVI" << 1 << loaded;
    QTest::newRow(".wmv") << "red.wmv" << 2 << loaded;
    QTest::newRow("not an AVI inside")
            << "garbage.avi" << 1
            << QList<MediaService::MediaStatus>{MediaService::LoadingMedia,
                                                MediaService::InvalidMedia};
    QTest::newRow("an AVI named .mp4")
            << "sound.mp4" << 0 << QList<MediaService::MediaStatus>{MediaService::InvalidMedia};
}

void TestMediaService::openByType()
{
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QList<MediaService::MediaStatus>, statuses);
    MediaService service;
    QSignalSpy spy(&service, &MediaService::mediaStatusChanged);
    const bool loads = statuses.last() == MediaService::LoadedMedia;
    QCOMPARE(service.open(dir.filePath(name)), loads);
    QCOMPARE(service.mediaType(), type);
    QList<MediaService::MediaStatus> seen;
    for (const QList<QVariant> &signal : spy)
        seen << signal.at(0).value<MediaService::MediaStatus>();
    QCOMPARE(seen, statuses);
    QCOMPARE(service.frameSize(), loads ? QSize(320, 240) : QSize());
}

void TestMediaService::playsIntoSink_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("delivered");
    QTest::addColumn<int>("soundStreams");
    QTest::newRow("AVI without sound, own size") << "silent.AVI" << QSize() << QSize(320, 240) << 0;
    QTest::newRow("AVI with PCM, widget size")
            << "sound.avi" << QSize(200, 100) << QSize(200, 100) << 1;
    QTest::newRow("AVI with mono PCM") << "mono.avi" << QSize() << QSize(320, 240) << 1;
    QTest::newRow("WMV with WMA, widget size")
            << "red.wmv" << QSize(641, 479) << QSize(641, 479) << 1;
}

void TestMediaService::playsIntoSink()
{
    QFETCH(QString, name);
    QFETCH(QSize, target);
    QFETCH(QSize, delivered);
    QFETCH(int, soundStreams);
    FrameRecorder sink;
    sink.target = target;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(dir.filePath(name)));
    QVERIFY(service.play());
    QTRY_VERIFY(sink.frames() >= 3);
    // A file without sound never opens an output on the sound server.
    QCOMPARE(ourSoundStreams(), soundStreams);
    std::lock_guard lock(sink.mutex);
    QCOMPARE(sink.last.size(), delivered);
    QCOMPARE(sink.last.format(), QImage::Format_RGB32);
    QVERIFY(near(sink.last.pixel(delivered.width() / 2, delivered.height() / 2), qRgb(255, 0, 0)));
}

void TestMediaService::endOfFileRewinds()
{
    FrameRecorder sink;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(file("silent.AVI")));
    QStringList events;
    connect(&service, &MediaService::mediaStateChanged, this,
            [&](MediaService::MediaState s) { events << QStringLiteral("state %1").arg(s); });
    connect(&service, &MediaService::mediaStatusChanged, this,
            [&](MediaService::MediaStatus s) { events << QStringLiteral("status %1").arg(s); });
    connect(&service, &MediaService::positionChanged, this,
            [&](qint64 ms) { events << QStringLiteral("position %1").arg(ms); });
    QVERIFY(service.play());
    QTRY_COMPARE_WITH_TIMEOUT(service.status(), MediaService::EndOfMedia, 10000);
    QCOMPARE(events.mid(0, 2), QStringList({"state 2", "status 5"}));
    QVERIFY2(events.contains("position 1000") || events.filter("position ").size() > 5,
             qPrintable(events.join(", ")));
    QCOMPARE(events.mid(events.size() - 4),
             QStringList({"state 0", "status 3", "status 7", "position 0"}));
    QCOMPARE(service.position(), 0);
    QCOMPARE(service.state(), MediaService::StoppedState);
    QCOMPARE(sink.frames(), 50);
}

void TestMediaService::seekStaysWithinDuration()
{
    MediaService service;
    QVERIFY(service.open(file("sound.avi")));
    QCOMPARE(service.duration(), 2000);
    QVERIFY(service.setPosition(1200));
    QCOMPARE(service.position(), 1200);
    QVERIFY(!service.setPosition(2001));
    QCOMPARE(service.position(), 1200);
    QVERIFY(service.setPosition(2000));
    QCOMPARE(service.position(), 2000);
}

void TestMediaService::pauseHoldsPosition()
{
    FrameRecorder sink;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(file("silent.AVI")));
    QVERIFY(service.play());
    QTRY_VERIFY(service.position() > 300);
    QVERIFY(service.pause());
    QCOMPARE(service.state(), MediaService::PausedState);
    const qint64 held = service.position();
    const int shown = sink.frames();
    QTest::qWait(300);
    QCOMPARE(service.position(), held);
    QVERIFY(sink.frames() <= shown + 1);
    // A seek while paused shows its picture and stays paused there.
    QVERIFY(service.setPosition(1500));
    // The picture on screen at 1.5 s is the one from 1.48 s.
    QTRY_COMPARE(sink.lastShownPts(), 1480);
    QCOMPARE(service.position(), 1500);
    QCOMPARE(service.state(), MediaService::PausedState);
    QVERIFY(service.play());
    QTRY_VERIFY(service.position() > 1600);
}

void TestMediaService::volumeIsGain()
{
    FrameRecorder sink;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(file("sound.avi")));
    QSignalSpy spy(&service, &MediaService::volumeChanged);
    for (long level : {MediaService::SilentVolume, 0L, -2500L}) {
        QVERIFY(service.setVolume(level));
        QCOMPARE(service.volume(), level);
        QCOMPARE(spy.takeLast().at(0).value<long>(), level);
    }
    QVERIFY(!service.setVolume(1));
    QVERIFY(!service.setVolume(MediaService::SilentVolume - 1));
    QCOMPARE(service.volume(), -2500);

    // Silence at the lowest volume, the file's own level at 0 dB.
    BeepRecorder recorder;
    QTRY_VERIFY(recorder.samples > BeepRecorder::Rate);
    QVERIFY(service.setVolume(MediaService::SilentVolume));
    QVERIFY(service.play());
    QTRY_VERIFY(sink.frames() >= 25);
    QCOMPARE(recorder.loudest.exchange(0), 0);
    QVERIFY(service.setVolume(0));
    QTRY_VERIFY(recorder.loudest > 2000);
}

void TestMediaService::pictureFollowsSound()
{
    FrameRecorder sink;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(file("sync.avi")));
    // Playing while the server wakes from idle would lose the first beeps.
    BeepRecorder recorder;
    QTRY_VERIFY(recorder.samples > BeepRecorder::Rate);
    QVERIFY(service.play());
    QTRY_COMPARE_WITH_TIMEOUT(service.status(), MediaService::EndOfMedia, 20000);
    recorder.finish();
    QVERIFY2(recorder.beeps.size() >= 8, qPrintable(QString::number(recorder.beeps.size())));
    std::vector<qint64> apartMs;
    QStringList told;
    for (const Clock::time_point beep : recorder.beeps) {
        qint64 nearestMs = std::numeric_limits<qint64>::max();
        for (const Clock::time_point flash : sink.flashes)
            nearestMs = std::min<qint64>(
                    nearestMs,
                    std::abs(std::chrono::duration_cast<std::chrono::milliseconds>(flash - beep)
                                     .count()));
        apartMs.push_back(nearestMs);
        told << QString::number(nearestMs);
    }
    // Both arrival times pass through the scheduler; one beep that a busy machine delivered late
    // is forgiven, an offset that lasts is not.
    std::sort(apartMs.begin(), apartMs.end());
    QVERIFY2(apartMs[apartMs.size() - 2] <= 80,
             qPrintable(QStringLiteral("ms apart: %1; %2 flashes")
                                .arg(told.join(QStringLiteral(", ")))
                                .arg(sink.flashes.size())));
}

void TestMediaService::veloraRecordingsPlay_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<int>("frames");
    QTest::newRow("MPEG-4") << true << true << 43;
    // The last quarter of a second was still in the writer's buffers.
    QTest::newRow("cut short by a crash") << true << false << 37;
    QTest::newRow("uncompressed") << false << true << 43;
}

void TestMediaService::veloraRecordingsPlay()
{
    QFETCH(bool, compressed);
    QFETCH(bool, finished);
    QFETCH(int, frames);
    // Two seconds of Velora's own writer: red above blue, a frame now and then skipped as a
    // busy desktop makes it, and its sound.
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    picture.fill(Qt::red);
    for (int y = 120; y < 240; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(picture.scanLine(y)), 320, qRgb(0, 0, 255));
    const DesktopPicture desktop{picture.constBits(), 320, 240, int(picture.bytesPerLine())};
    const QString path = file("velora.avi");
    QString error;
    {
        AviFile avi;
        QVERIFY2(avi.open(path, {QSize(320, 240), compressed, true}, &error), qPrintable(error));
        for (qint64 index = 0; index < 50; index += index % 7 == 6 ? 2 : 1) {
            QCOMPARE(avi.writePicture(desktop, index, &error), AviFile::Result::Written);
            QVERIFY(avi.writeSound(QByteArray(320 * 4, '\x10'), &error));
        }
        QVERIFY(finished ? avi.finish(&error) : avi.flush(&error));
    }
    FrameRecorder sink;
    MediaService service;
    service.setFrameSink(&sink);
    QVERIFY(service.open(path));
    QVERIFY(service.play());
    QTRY_COMPARE_WITH_TIMEOUT(service.status(), MediaService::EndOfMedia, 10000);
    // A picture may be dropped if a busy machine holds the test up, never more.
    QVERIFY2(sink.frames() <= frames && sink.frames() >= frames - 2,
             qPrintable(QString::number(sink.frames())));
    QVERIFY2(service.duration() >= frames * 40, qPrintable(QString::number(service.duration())));
    std::lock_guard lock(sink.mutex);
    QVERIFY(near(sink.last.pixel(160, 60), qRgb(255, 0, 0)));
    QVERIFY(near(sink.last.pixel(160, 180), qRgb(0, 0, 255)));
}

VELORA_TEST_MAIN(TestMediaService)
#include "tst_mediaservice.moc"

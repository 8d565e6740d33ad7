#include <AVIRecordingImpl.h>
#include <AVIRecovery.h>
#include <FfmpegHandles.h>
#include <RecordingProbe.h>
#include <ScreenGrabber.h>
#include <VeloraTest.h>

#include <QImage>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
qint64 clockMs = 0;
constexpr uint Xvid = MKTAG('X', 'V', 'I', 'D');

/// The longest silence (16-bit values other than 1000) before the end of `pcm`, and the silence
/// at its end.
std::pair<qint64, qint64> quietRuns(const QByteArray &pcm)
{
    qint64 run = 0, longest = 0;
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        if (samples[i] != 1000) {
            ++run;
            continue;
        }
        longest = std::max(longest, run);
        run = 0;
    }
    return {longest, run};
}

/// The checks every written file passes: one 25 fps video stream of `size` and `tag`, and a PCM
/// stream of 8,000 Hz 16-bit stereo when it has sound.
void checkFile(const RecordingProbe &p, QSize size, uint tag, bool sound)
{
    QCOMPARE(p.videoStreams, 1);
    QCOMPARE(p.framesPerSecond, 25.0);
    QCOMPARE(QSize(p.width, p.height), size);
    QCOMPARE(p.tag, tag);
    QCOMPARE(p.audioStreams, sound ? 1 : 0);
    if (sound)
        QCOMPARE(QList<int>({p.sampleRate, p.channels, p.bytesPerSample}),
                 QList<int>({8000, 2, 2}));
}

/// A picture red in its top half and blue in its bottom half.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < size.height() / 2; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)), size.width(), qRgb(255, 0, 0));
    return image;
}
} // namespace

class TestAviWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QImage small = halves({64, 48});

    QString path(const QString &name) const { return dir.filePath(name); }

    /// A writer recording into `name` in the test folder; null when it does not open.
    std::unique_ptr<AVIRecordingImpl> start(const QString &name, QSize size, const QString &codec,
                                            bool sound = false)
    {
        auto writer = std::make_unique<AVIRecordingImpl>();
        writer->setTargetName(path(name));
        return writer->openFile(nullptr, size, nullptr, sound, codec) ? std::move(writer) : nullptr;
    }

    /// Adds the small picture at each clock time and returns what each addition gave.
    static QList<int> addAt(AVIRecordingImpl &writer, const QList<qint64> &times,
                            const QImage &image)
    {
        QList<int> results;
        for (const qint64 time : times) {
            clockMs = time;
            results.append(writer.addPicture(
                    {image.constBits(), image.width(), image.height(), int(image.bytesPerLine())}));
        }
        return results;
    }

private Q_SLOTS:
    void initTestCase()
    {
        AVIRecordingImpl::setClock([] { return clockMs; });
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QSize>("frameSize");
        QTest::addColumn<uint>("tag");
        QTest::addColumn<bool>("encoderFails");
        QTest::newRow("compressed 800") << u""_s << QSize(800, 450) << Xvid << false;
        QTest::newRow("compressed 640") << u"XVD"_s << QSize(640, 360) << Xvid << false;
        QTest::newRow("DIB 800") << u"DIB "_s << QSize(800, 450) << 0u << false;
        QTest::newRow("DIB padded lines") << u"DIB "_s << QSize(642, 362) << 0u << false;
        // Without a working MPEG-4 encoder the file takes uncompressed frames.
        QTest::newRow("encoder failing") << u""_s << QSize(640, 360) << 0u << true;
    }

    void pictures()
    {
        QFETCH(QString, codec);
        QFETCH(QSize, frameSize);
        QFETCH(uint, tag);
        QFETCH(bool, encoderFails);
        if (encoderFails)
            qputenv("VELORA_FORCE_CODEC_FAILURE", "1");
        const auto writer = start(u"pictures.avi"_s, frameSize, codec);
        qunsetenv("VELORA_FORCE_CODEC_FAILURE");
        QVERIFY(writer);
        QCOMPARE(addAt(*writer, {0, 40, 80}, halves({1920, 1080})), QList<int>(3, 0));
        const QString file = path(u"pictures.avi"_s);
        QCOMPARE(writer->close(), QStringList{file});
        const RecordingProbe p = RecordingProbe::of(file);
        checkFile(p, frameSize, tag, false);
        QCOMPARE(p.framePts.size(), 3);
        const QRgb top = p.picture.pixel(frameSize.width() / 2, frameSize.height() / 4);
        const QRgb bottom = p.picture.pixel(frameSize.width() / 2, frameSize.height() * 3 / 4);
        QVERIFY2(qRed(top) > 200 && qBlue(top) < 50, qPrintable(QString::number(top, 16)));
        QVERIFY2(qBlue(bottom) > 200 && qRed(bottom) < 50, qPrintable(QString::number(bottom, 16)));
    }

    void frameClock()
    {
        const auto writer = start(u"clock.avi"_s, small.size(), u""_s);
        QVERIFY(writer);
        // Slots 0-2, a second picture in slot 2, then five slots missed.
        QCOMPARE(addAt(*writer, {0, 40, 80, 100, 280}, small), QList<int>({0, 0, 0, 1, 0}));
        clockMs = 300;
        QVERIFY(writer->togglePause());
        QCOMPARE(addAt(*writer, {340, 2300}, small), QList<int>({1, 1}));
        QVERIFY(!writer->togglePause());
        QCOMPARE(addAt(*writer, {2300, 2340}, small), QList<int>({0, 0}));
        const RecordingProbe p = RecordingProbe::of(writer->close().value(0));
        checkFile(p, small.size(), Xvid, false);
        QCOMPARE(p.framePts, QList<qint64>({0, 1, 2, 7, 8, 9}));
    }

    void splitting_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("frames");
        QTest::newRow("short") << QList<qint64>{0, 40, 869960} << QStringList{u"rec.avi"_s}
                               << QList<int>{21750};
        QTest::newRow("long") << QList<qint64>{0, 869960, 870000, 870040}
                              << QStringList{u"rec_1.avi"_s, u"rec_2.avi"_s}
                              << QList<int>{21750, 2};
    }

    void splitting()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QStringList, names);
        QFETCH(QList<int>, frames);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        const auto writer = start(u"rec.avi"_s, small.size(), u""_s);
        QVERIFY(writer);
        addAt(*writer, times, small);
        const QStringList files = writer->close();
        QCOMPARE(files.size(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(files[i], path(names[i]));
            const RecordingProbe p = RecordingProbe::of(files[i]);
            checkFile(p, small.size(), Xvid, false);
            QCOMPARE(qRound(p.videoSeconds * 25), frames[i]);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), names);
    }

    void sound_data()
    {
        QTest::addColumn<int>("samplesPerFrame");
        QTest::newRow("input 5 % fast") << 336;
        QTest::newRow("input 5 % slow") << 304;
    }

    void sound()
    {
        QFETCH(int, samplesPerFrame);
        const auto writer = start(u"sound.avi"_s, small.size(), u"DIB "_s, true);
        QVERIFY(writer);
        const QByteArray pcm = QByteArray::fromRawData("\xe8\x03", 2).repeated(samplesPerFrame * 2);
        for (qint64 time = 0; time < 60000; time += 40) {
            writer->addSound(pcm);
            addAt(*writer, {time}, small);
        }
        writer->addSound(pcm); // the last frame's sound, which the input delivers after it
        const RecordingProbe p = RecordingProbe::of(writer->close().value(0));
        checkFile(p, small.size(), 0, true);
        QCOMPARE(p.framePts.size(), 1500);
        QVERIFY2(qAbs(p.audioSeconds - p.videoSeconds) <= 0.04,
                 qPrintable(QString::number(p.audioSeconds - p.videoSeconds)));
        // Drift is mended all along by a few dropped or silent samples (at most 25 ms at a time),
        // not by losing the sound; at most the sound an input delivers late is missing at the end.
        const auto [longestQuiet, quietEnd] = quietRuns(p.pcm);
        QVERIFY2(longestQuiet <= 25 * 8 * 2, qPrintable(QString::number(longestQuiet)));
        QVERIFY2(quietEnd <= 175 * 8 * 2, qPrintable(QString::number(quietEnd)));
    }

    void recovery()
    {
        const QString file = path(u"killed.avi"_s);
        clockMs = 0;
        const pid_t child = fork();
        if (child == 0) {
            const auto writer = start(u"killed.avi"_s, small.size(), u""_s, true);
            for (qint64 time = 0; time < 4000; time += 40) {
                writer->addSound(QByteArray(320 * 4, 1));
                addAt(*writer, {time}, small);
            }
            raise(SIGKILL);
        }
        QVERIFY(waitpid(child, nullptr, 0) == child);
        // A recording still running in this process, an unreadable marker of a gone file and a
        // file killed before its header reached the disk.
        const QString alive = path(u"alive.avi.partial"_s), orphan = path(u"gone.avi.partial"_s),
                      empty = path(u"empty.avi"_s);
        QVERIFY(QFile(empty).open(QIODevice::WriteOnly));
        for (const auto &[marker, pid] :
             {std::pair(alive, QByteArray::number(getpid())), std::pair(orphan, QByteArray("?")),
              std::pair(AVIRecovery::markerPath(empty), QByteArray("?"))}) {
            QFile out(marker);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(pid));
        }
        QVERIFY(QFile::copy(file, path(u"alive.avi"_s)));
        QCOMPARE(AVIRecovery::recoverFolder(dir.path()), QStringList{file});
        const RecordingProbe p = RecordingProbe::of(file);
        checkFile(p, small.size(), Xvid, true);
        QVERIFY2(p.videoSeconds > 2 && p.videoSeconds <= 4 && p.audioSeconds > 2,
                 qPrintable(QString::number(p.videoSeconds)));
        QVERIFY(!QFile::exists(AVIRecovery::markerPath(file)));
        QVERIFY(QFile::exists(alive) && !QFile::exists(orphan) && !QFile::exists(empty));
    }
};

VELORA_TEST_MAIN(TestAviWriter)
#include "tst_aviwriter.moc"

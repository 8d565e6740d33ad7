#include <AVIRecordingImpl.h>
#include <AVIRecovery.h>
#include <FfmpegHandles.h>
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

/// What libavformat and libavcodec read back from a written file.
struct Probe
{
    int videoStreams = 0, soundStreams = 0;
    double fps = 0, videoSeconds = 0, soundSeconds = 0;
    QSize size;
    uint tag = 0;
    bool pcm = false;
    QList<qint64> framePts; // frames with a picture
    qint64 samples = 0, loudSamples = 0;
    QImage picture; // the first frame
};

Probe probe(const QString &path)
{
    Probe p;
    const InputFormatPtr input = openInputFormat(path);
    if (!input)
        return p;
    CodecContextPtr decoder;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *stream = input->streams[i];
        const AVCodecParameters *par = stream->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++p.videoStreams;
            p.fps = av_q2d(stream->avg_frame_rate);
            p.size = {par->width, par->height};
            p.tag = par->codec_tag;
            decoder.reset(avcodec_alloc_context3(avcodec_find_decoder(par->codec_id)));
            avcodec_parameters_to_context(decoder.get(), par);
            avcodec_open2(decoder.get(), decoder->codec, nullptr);
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++p.soundStreams;
            p.pcm = par->codec_id == AV_CODEC_ID_PCM_S16LE && par->sample_rate == 8000
                    && par->ch_layout.nb_channels == 2;
        }
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream *stream = input->streams[packet->stream_index];
        const double end = double(packet->pts + packet->duration) * av_q2d(stream->time_base);
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            const auto *samples = reinterpret_cast<const qint16 *>(packet->data);
            p.samples += packet->size / 2;
            p.loudSamples += std::count(samples, samples + packet->size / 2, qint16(1000));
            p.soundSeconds = std::max(p.soundSeconds, end);
        } else if (packet->size > 0) {
            p.framePts.append(packet->pts);
            p.videoSeconds = std::max(p.videoSeconds, end);
            if (p.picture.isNull() && avcodec_send_packet(decoder.get(), packet.get()) >= 0
                && (avcodec_receive_frame(decoder.get(), frame.get()) >= 0
                    || (avcodec_send_packet(decoder.get(), nullptr) >= 0
                        && avcodec_receive_frame(decoder.get(), frame.get()) >= 0))) {
                p.picture = QImage(frame->width, frame->height, QImage::Format_RGB32);
                SwsContextPtr toRgb(sws_getContext(
                        frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                        frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
                uint8_t *planes[] = {p.picture.bits()};
                const int strides[] = {int(p.picture.bytesPerLine())};
                sws_scale(toRgb.get(), frame->data, frame->linesize, 0, frame->height, planes,
                          strides);
            }
        }
        av_packet_unref(packet.get());
    }
    return p;
}

/// The checks every written file passes: one 25 fps video stream of `size` and `tag` with
/// `frames` pictures (give or take one), and a PCM stream when it has sound.
void checkFile(const Probe &p, QSize size, uint tag, qint64 frames, bool sound)
{
    QCOMPARE(p.videoStreams, 1);
    QCOMPARE(p.fps, 25.0);
    QCOMPARE(p.size, size);
    QCOMPARE(p.tag, tag);
    QVERIFY2(qAbs(p.framePts.size() - frames) <= 1, qPrintable(QString::number(p.framePts.size())));
    QCOMPARE(p.soundStreams, sound ? 1 : 0);
    QCOMPARE(p.pcm, sound);
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

DesktopPicture pictureOf(const QImage &image)
{
    return {image.constBits(), image.width(), image.height(), int(image.bytesPerLine())};
}
} // namespace

class TestAviWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    const QImage small = halves({64, 48});

    QString path(const QString &name) const { return dir.filePath(name); }

    /// Adds the small picture at each clock time and returns what each addition gave.
    static QList<int> addAt(AVIRecordingImpl &writer, const QList<qint64> &times,
                            const QImage &image)
    {
        QList<int> results;
        for (const qint64 time : times) {
            clockMs = time;
            results.append(writer.addPicture(pictureOf(image)));
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
        QTest::newRow("compressed 800") << u""_s << QSize(800, 450) << Xvid;
        QTest::newRow("compressed 640") << u"XVD"_s << QSize(640, 360) << Xvid;
        QTest::newRow("DIB 800") << u"DIB "_s << QSize(800, 450) << 0u;
        QTest::newRow("DIB padded lines") << u"DIB "_s << QSize(642, 362) << 0u;
    }

    void pictures()
    {
        QFETCH(QString, codec);
        QFETCH(QSize, frameSize);
        QFETCH(uint, tag);
        AVIRecordingImpl writer;
        const QString file = path(u"pictures.avi"_s);
        writer.setTargetName(file);
        QVERIFY(writer.open(nullptr, frameSize, nullptr, codec));
        QCOMPARE(addAt(writer, {0, 40, 80}, halves({1920, 1080})), QList<int>(3, 0));
        QCOMPARE(writer.close(), QStringList{file});
        const Probe p = probe(file);
        checkFile(p, frameSize, tag, 3, false);
        const QRgb top = p.picture.pixel(frameSize.width() / 2, frameSize.height() / 4);
        const QRgb bottom = p.picture.pixel(frameSize.width() / 2, frameSize.height() * 3 / 4);
        QVERIFY2(qRed(top) > 200 && qBlue(top) < 50, qPrintable(QString::number(top, 16)));
        QVERIFY2(qBlue(bottom) > 200 && qRed(bottom) < 50, qPrintable(QString::number(bottom, 16)));
        QVERIFY(!QFile::exists(AVIRecovery::markerPath(file)));
    }
};

VELORA_TEST_MAIN(TestAviWriter)
#include "tst_aviwriter.moc"

#include "VideoStill.h"

#include "MediaReadWatch.h"

#include <FfmpegHandles.h>
#include <LogModule.h>

#include <QFileInfo>

#include <optional>

namespace {

const LogModule stillLog("velora/medialibrary");

// The stream information and three seconds of even a high-rate recording take a few megabytes;
// a damaged file can send the AVI reader through all of it looking for an index.
constexpr int64_t ReadBudget = 64 * 1024 * 1024;

// The decoder of the best video stream of `format`; null with the reason in `why`.
CodecContextPtr openDecoder(AVFormatContext *format, int *index, QString *why)
{
    const AVCodec *decoder = nullptr;
    *index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
    if (*index < 0) {
        *why = ffmpegError(*index);
        return {};
    }
    CodecContextPtr codec(avcodec_alloc_context3(decoder));
    int result = codec
            ? avcodec_parameters_to_context(codec.get(), format->streams[*index]->codecpar)
            : AVERROR(ENOMEM);
    if (result >= 0) {
        // One picture is wanted: frame threads would only hold it back behind others.
        codec->thread_count = 1;
        result = avcodec_open2(codec.get(), decoder, nullptr);
    }
    if (result >= 0)
        return codec;
    *why = ffmpegError(result);
    return {};
}

// Decodes up to the first frame shown at or after `at` milliseconds (the first frame when `at`
// is negative); at the end of the stream, the last frame decoded. Null when none decodes.
FramePtr decodeAt(AVFormatContext *format, AVCodecContext *codec, const AVStream *stream, qint64 at,
                  const MediaReadWatch &watch)
{
    int64_t target = AV_NOPTS_VALUE;
    if (at >= 0) {
        target = av_rescale_q(at, {1, 1000}, stream->time_base)
                + (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
        // A file without an index stays at its start: decoding forward still gets there.
        av_seek_frame(format, stream->index, target, AVSEEK_FLAG_BACKWARD);
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    FramePtr kept(av_frame_alloc());
    if (!packet || !frame || !kept)
        return {};
    bool ended = false;
    while (!watch.stopped()) {
        if (!ended) {
            if (av_read_frame(format, packet.get()) < 0) {
                ended = true;
                avcodec_send_packet(codec, nullptr);
            } else {
                const bool ours = packet->stream_index == stream->index;
                // A damaged packet is the decoder's to conceal; the next key frame recovers.
                if (ours)
                    avcodec_send_packet(codec, packet.get());
                av_packet_unref(packet.get());
                if (!ours)
                    continue;
            }
        }
        int received;
        while ((received = avcodec_receive_frame(codec, frame.get())) >= 0) {
            av_frame_unref(kept.get());
            av_frame_move_ref(kept.get(), frame.get());
            const int64_t shown = kept->best_effort_timestamp;
            if (target == AV_NOPTS_VALUE || shown == AV_NOPTS_VALUE || shown >= target)
                return kept;
        }
        // Once the stream has ended, the decoder has given everything it holds.
        if (ended || received == AVERROR_EOF)
            break;
    }
    return kept->width > 0 && !watch.stopped() ? std::move(kept) : FramePtr();
}

QImage scaledPicture(const AVFrame &frame, AVRational pixelAspect, QSize box)
{
    // Pixels that are not square are shown at the shape the video means.
    QSizeF shape(frame.width, frame.height);
    if (pixelAspect.num > 0 && pixelAspect.den > 0)
        shape.setWidth(frame.width * av_q2d(pixelAspect));
    const QSize size = shape.scaled(box, Qt::KeepAspectRatio).toSize().expandedTo({1, 1});
    // Averaging over the area: a picture shrunk thirty times by sampling a few pixels flickers
    // with the detail it skipped.
    const SwsContextPtr scaler(
            sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format), size.width(),
                           size.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr));
    QImage picture(size, QImage::Format_RGB32);
    if (!scaler || picture.isNull())
        return {};
    uint8_t *const planes[] = {picture.bits()};
    const int strides[] = {int(picture.bytesPerLine())};
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    return picture;
}

} // namespace

VideoStill grabVideoStill(const QString &path, qint64 at, QSize box, const std::atomic<bool> *stop)
{
    VideoStill still;
    QString why = QStringLiteral("not a readable file");
    // Declared first, so that it outlives every use of the context.
    std::optional<MediaReadWatch> watch;
    // A FIFO or a device named like a video would block in open(), where no interrupt reaches.
    const bool isFile = QFileInfo(path).isFile();
    InputFormatPtr format(isFile ? avformat_alloc_context() : nullptr);
    if (format)
        watch.emplace(format.get(), stop, ReadBudget);
    // "file:" keeps a colon in the name from being read as a protocol.
    int result = format ? openInput(format, "file:" + path.toUtf8()) : AVERROR(ENOENT);
    if (result >= 0)
        result = avformat_find_stream_info(format.get(), nullptr);
    int index = -1;
    CodecContextPtr codec;
    if (result >= 0)
        codec = openDecoder(format.get(), &index, &why);
    else if (isFile)
        why = ffmpegError(result);
    if (codec) {
        still.isVideo = true;
        still.duration
                = format->duration > 0 ? av_rescale(format->duration, 1000, AV_TIME_BASE) : 0;
        AVStream *stream = format->streams[index];
        const bool longer = still.duration > at;
        if (const FramePtr frame
            = decodeAt(format.get(), codec.get(), stream, longer ? at : -1, *watch))
            still.picture = scaledPicture(
                    *frame, av_guess_sample_aspect_ratio(format.get(), stream, frame.get()), box);
        else
            why = QStringLiteral("no frame decodes");
    }
    if (still.picture.isNull() && !(stop && stop->load(std::memory_order_relaxed)))
        stillLog.log(LogSystem::LogNotice, "grabVideoStill - No picture of %s: %s",
                     qPrintable(path), qPrintable(why));
    return still;
}

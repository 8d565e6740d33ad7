#include "AviFile.h"

#include "ScreenGrabber.h"

#include <FfmpegHandles.h>
#include <LogModule.h>

extern "C" {
#include <libavutil/opt.h>
}

using namespace Qt::StringLiterals;

namespace {

const LogModule aviLog("velora/recording");

constexpr AVRational FrameTime{1, 25};
constexpr int SampleRate = 8000;
constexpr int BytesPerSample = 4;
constexpr int KeyFrameInterval = 10;
// A fixed quantiser of 5 (of 2-31) keeps 12-pixel text legible at 1024 wide, about 37 dB
// luma PSNR on a full page of it; unchanged screens cost a few hundred bytes between key frames.
constexpr int Quantiser = 5;

QString why(const char *what, int code)
{
    return QString::fromUtf8(what) + u": "_s + ffmpegError(code);
}

} // namespace

struct AviFile::State
{
    Format format;
    OutputFormatPtr muxer;
    AVStream *video = nullptr;
    AVStream *sound = nullptr;
    CodecContextPtr encoder;
    FramePtr frame;
    PacketPtr packet{av_packet_alloc()};
    SwsContextPtr scaler;
    bool headerWritten = false;
    qint64 samples = 0;

    Result setUp(QString *error);
    bool scale(const DesktopPicture &picture, uint8_t *const planes[], const int strides[],
               AVPixelFormat target);
    int write(AVStream *stream, AVRational from);
    Result drain(AVFrame *input, QString *error);
};

AviFile::AviFile()
    : state(std::make_unique<State>())
{ }

AviFile::~AviFile() = default;

bool AviFile::open(const QString &path, const Format &format, QString *error)
{
    state->format = format;
    // "file:" keeps a colon in the name from being read as a protocol.
    const QByteArray name = "file:" + path.toUtf8();
    int result = 0;
    state->muxer = createOutputFormat("avi", name, &result);
    if (result >= 0)
        result = avio_open(&state->muxer->pb, name.constData(), AVIO_FLAG_WRITE);
    if (result < 0) {
        *error = why("cannot create the file", result);
        state->muxer.reset();
        return false;
    }
    // A frame of raw pictures is a few megabytes; never hold seconds of them waiting for sound.
    state->muxer->max_interleave_delta = AV_TIME_BASE / 2;

    AVStream *video = state->video = avformat_new_stream(state->muxer.get(), nullptr);
    video->time_base = FrameTime;
    video->avg_frame_rate = video->r_frame_rate = av_inv_q(FrameTime);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->width = format.frameSize.width();
    video->codecpar->height = format.frameSize.height();

    if (format.sound) {
        AVStream *sound = state->sound = avformat_new_stream(state->muxer.get(), nullptr);
        sound->time_base = {1, SampleRate};
        AVCodecParameters *parameters = sound->codecpar;
        parameters->codec_type = AVMEDIA_TYPE_AUDIO;
        parameters->codec_id = AV_CODEC_ID_PCM_S16LE;
        parameters->sample_rate = SampleRate;
        parameters->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
        parameters->format = AV_SAMPLE_FMT_S16;
        parameters->bits_per_coded_sample = 16;
        parameters->block_align = BytesPerSample;
        parameters->bit_rate = SampleRate * BytesPerSample * 8;
    }
    return true;
}

AviFile::Result AviFile::State::setUp(QString *error)
{
    AVCodecParameters *parameters = video->codecpar;
    FfmpegOptions options;
    if (!format.compressed) {
        // Tag 0 is BI_RGB; players read such bitmaps bottom-up when the height is positive.
        parameters->codec_id = AV_CODEC_ID_RAWVIDEO;
        parameters->codec_tag = 0;
        parameters->format = AV_PIX_FMT_BGR24;
        parameters->bits_per_coded_sample = 24;
        options.set("flipped_raw_rgb", "1");
    } else {
        const AVCodec *codec = format.failCodec ? nullptr : avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (!codec) {
            *error = u"no MPEG-4 Part 2 encoder"_s;
            return Result::CodecFailed;
        }
        encoder.reset(avcodec_alloc_context3(codec));
        encoder->width = parameters->width;
        encoder->height = parameters->height;
        encoder->time_base = FrameTime;
        encoder->framerate = av_inv_q(FrameTime);
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->gop_size = KeyFrameInterval;
        encoder->max_b_frames = 0;
        encoder->thread_count = 1;
        encoder->codec_tag = MKTAG('X', 'V', 'I', 'D');
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = FF_QP2LAMBDA * Quantiser;
        int result = avcodec_open2(encoder.get(), codec, nullptr);
        if (result >= 0)
            result = avcodec_parameters_from_context(parameters, encoder.get());
        if (result < 0) {
            *error = why("the MPEG-4 encoder refused its settings", result);
            return Result::CodecFailed;
        }
        frame.reset(av_frame_alloc());
        frame->format = encoder->pix_fmt;
        frame->width = encoder->width;
        frame->height = encoder->height;
        if ((result = av_frame_get_buffer(frame.get(), 0)) < 0) {
            *error = why("no memory for a frame", result);
            return Result::CodecFailed;
        }
    }
    const int result = avformat_write_header(muxer.get(), &options.entries);
    if (result < 0) {
        *error = why("cannot write the file's header", result);
        return Result::WriteFailed;
    }
    headerWritten = true;
    return Result::Written;
}

bool AviFile::State::scale(const DesktopPicture &picture, uint8_t *const planes[],
                           const int strides[], AVPixelFormat target)
{
    const QSize size = format.frameSize;
    // Area averaging keeps small text legible. Towards YUV, reading the colour of every input
    // pixel (rather than of pairs) is both the sharper and, in libswscale, the faster way: it
    // halves the cost of a 1080p frame.
    const int flags = SWS_AREA | (target == AV_PIX_FMT_YUV420P ? SWS_FULL_CHR_H_INP : 0);
    scaler.reset(sws_getCachedContext(scaler.release(), picture.width, picture.height,
                                      AV_PIX_FMT_BGR0, size.width(), size.height(), target, flags,
                                      nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    const uint8_t *source = picture.pixels;
    int sourceStride = picture.bytesPerLine;
    if (target == AV_PIX_FMT_BGR24) {
        // Reading the picture from its last line up writes the bitmap bottom-up.
        source += qsizetype(picture.height - 1) * picture.bytesPerLine;
        sourceStride = -sourceStride;
    }
    return sws_scale(scaler.get(), &source, &sourceStride, 0, picture.height, planes, strides)
            == size.height();
}

int AviFile::State::write(AVStream *stream, AVRational from)
{
    packet->stream_index = stream->index;
    av_packet_rescale_ts(packet.get(), from, stream->time_base);
    return av_interleaved_write_frame(muxer.get(), packet.get());
}

AviFile::Result AviFile::State::drain(AVFrame *input, QString *error)
{
    int result = avcodec_send_frame(encoder.get(), input);
    while (result >= 0) {
        result = avcodec_receive_packet(encoder.get(), packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return Result::Written;
        if (result >= 0 && (result = write(video, encoder->time_base)) < 0) {
            *error = why("cannot write the frame", result);
            return Result::WriteFailed;
        }
    }
    *error = why("the encoder refused the frame", result);
    return Result::CodecFailed;
}

AviFile::Result AviFile::writePicture(const DesktopPicture &picture, qint64 index, QString *error)
{
    if (!state->headerWritten) {
        Result setUp = state->setUp(error);
        if (setUp == Result::CodecFailed && state->format.compressed) {
            // Without a working MPEG-4 encoder the file takes uncompressed frames, which every
            // player reads; the recording goes on.
            aviLog.log(LogSystem::LogWarning,
                       "AviFile::writePicture - %s; writing uncompressed frames",
                       qPrintable(*error));
            state->encoder.reset();
            state->frame.reset();
            state->format.compressed = false;
            setUp = state->setUp(error);
        }
        if (setUp != Result::Written)
            return setUp;
    }
    int result = 0;
    const QSize size = state->format.frameSize;
    if (state->encoder) {
        AVFrame *frame = state->frame.get();
        // The encoder may still hold the previous picture.
        if ((result = av_frame_make_writable(frame)) < 0) {
            *error = why("no memory for a frame", result);
            return Result::WriteFailed;
        }
        if (!state->scale(picture, frame->data, frame->linesize, AV_PIX_FMT_YUV420P)) {
            *error = u"cannot scale a %1x%2 picture"_s.arg(picture.width).arg(picture.height);
            return Result::WriteFailed;
        }
        frame->pts = index;
        frame->quality = state->encoder->global_quality;
        return state->drain(frame, error);
    }
    // Lines of a bitmap are padded to four bytes.
    const int stride = (size.width() * 3 + 3) & ~3;
    AVPacket *packet = state->packet.get();
    if ((result = av_new_packet(packet, stride * size.height())) < 0) {
        *error = why("no memory for a frame", result);
        return Result::WriteFailed;
    }
    uint8_t *planes[] = {packet->data};
    if (!state->scale(picture, planes, &stride, AV_PIX_FMT_BGR24)) {
        av_packet_unref(packet);
        *error = u"cannot scale a %1x%2 picture"_s.arg(picture.width).arg(picture.height);
        return Result::WriteFailed;
    }
    packet->pts = packet->dts = index;
    packet->duration = 1;
    packet->flags |= AV_PKT_FLAG_KEY;
    if ((result = state->write(state->video, FrameTime)) < 0) {
        *error = why("cannot write the frame", result);
        return Result::WriteFailed;
    }
    return Result::Written;
}

bool AviFile::writeSound(const QByteArray &pcm, QString *error)
{
    const int samples = int(pcm.size() / BytesPerSample);
    if (!state->sound || !state->headerWritten || samples == 0)
        return true;
    AVPacket *packet = state->packet.get();
    int result = av_new_packet(packet, samples * BytesPerSample);
    if (result >= 0) {
        memcpy(packet->data, pcm.constData(), size_t(packet->size));
        packet->pts = packet->dts = state->samples;
        packet->duration = samples;
        packet->flags |= AV_PKT_FLAG_KEY;
        state->samples += samples;
        result = state->write(state->sound, {1, SampleRate});
    }
    if (result < 0)
        *error = why("cannot write the sound", result);
    return result >= 0;
}

bool AviFile::hasFrames() const
{
    return state->headerWritten;
}

qint64 AviFile::soundSamples() const
{
    return state->samples;
}

bool AviFile::flush(QString *error)
{
    AVIOContext *io = state->muxer ? state->muxer->pb : nullptr;
    if (!io)
        return true;
    avio_flush(io);
    if (io->error < 0)
        *error = why("cannot write the file", io->error);
    return io->error >= 0;
}

bool AviFile::finish(QString *error)
{
    if (!state->muxer)
        return false;
    bool drained = true;
    int result = 0;
    if (state->headerWritten) {
        if (state->encoder)
            drained = state->drain(nullptr, error) == Result::Written;
        // Even after a failed write the trailer is worth trying: the index makes what reached
        // the disk playable.
        result = av_write_trailer(state->muxer.get());
    }
    if (result >= 0)
        result = avio_closep(&state->muxer->pb);
    state->muxer.reset();
    if (result < 0)
        *error = why("cannot finish the file", result);
    return drained && result >= 0 && state->headerWritten;
}

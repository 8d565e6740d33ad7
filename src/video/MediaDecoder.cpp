#include "MediaDecoder.h"

#include "AudioRing.h"
#include "FrameQueue.h"

#include <FfmpegHandles.h>
#include <LogModule.h>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>

struct MediaDecoder::Streams
{
    InputFormatPtr input;
    CodecContextPtr video;
    CodecContextPtr audio;
    int videoIndex = -1;
    int audioIndex = -1;
    AVRational videoTimeBase{1, 1};
    AVRational audioTimeBase{1, 1};
    qint64 frameDurationUs = 40000;
    qint64 startUs = 0;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    SwrContextPtr resampler;
    QByteArray converted;
    AVSampleFormat outputSampleFormat = AV_SAMPLE_FMT_S16;
    qint64 nextSoundUs = 0;
    qint64 nextPictureUs = 0;
};

namespace {

const LogModule videoLog("velora/video");

AVSampleFormat sampleFormatOf(QAudioFormat::SampleFormat format)
{
    switch (format) {
    case QAudioFormat::UInt8:
        return AV_SAMPLE_FMT_U8;
    case QAudioFormat::Int32:
        return AV_SAMPLE_FMT_S32;
    case QAudioFormat::Float:
        return AV_SAMPLE_FMT_FLT;
    default:
        return AV_SAMPLE_FMT_S16;
    }
}

CodecContextPtr openDecoder(AVFormatContext *input, int index, QString *error)
{
    const AVCodecParameters *parameters = input->streams[index]->codecpar;
    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) {
        *error = QStringLiteral("no decoder for %1").arg(avcodec_get_name(parameters->codec_id));
        return {};
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    int result
            = context ? avcodec_parameters_to_context(context.get(), parameters) : AVERROR(ENOMEM);
    if (result >= 0) {
        // One decoding thread: playback needs far less than a core, and more threads would
        // only add their hand-over to the CPU time.
        context->thread_count = 1;
        context->pkt_timebase = input->streams[index]->time_base;
        result = avcodec_open2(context.get(), codec, nullptr);
    }
    if (result < 0) {
        *error = ffmpegError(result);
        return {};
    }
    return context;
}

} // namespace

MediaDecoder::MediaDecoder(const QString &path, FrameQueue &frames)
    : frames(frames)
    , streams(std::make_unique<Streams>())
    , openedResult(opened.get_future())
    , thread([this, path] { run(path); })
{ }

MediaDecoder::~MediaDecoder()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    frames.abort();
    if (ring)
        ring->abort();
    thread.join();
}

MediaDecoder::Info MediaDecoder::info()
{
    return openedResult.valid() ? openedResult.get() : Info{};
}

void MediaDecoder::start(AudioRing *audioRing, const QAudioFormat &format,
                         std::function<bool()> mayDrop)
{
    {
        std::lock_guard lock(mutex);
        ring = audioRing;
        outputFormat = format;
        mayDropPictures = std::move(mayDrop);
        started = true;
    }
    wake.notify_all();
}

void MediaDecoder::seek(qint64 positionUs, quint64 newSerial)
{
    {
        std::lock_guard lock(mutex);
        seekPending = true;
        seekTargetUs = positionUs;
        pendingSerial = newSerial;
    }
    wake.notify_all();
}

bool MediaDecoder::endedFor(quint64 forSerial) const
{
    std::lock_guard lock(mutex);
    return endedSerial == forSerial;
}

void MediaDecoder::run(QString path)
{
    Info result;
    const bool ok = openFile(path, &result);
    opened.set_value(result);
    if (ok)
        decodeLoop();
}

bool MediaDecoder::openFile(const QString &path, Info *result)
{
    Streams &s = *streams;
    s.input = openInputFormat(path, &result->error);
    if (!s.input)
        return false;
    AVFormatContext *input = s.input.get();
    s.videoIndex = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.videoIndex < 0) {
        result->error = QStringLiteral("no picture stream");
        return false;
    }
    s.video = openDecoder(input, s.videoIndex, &result->error);
    if (!s.video || s.video->width <= 0 || s.video->height <= 0)
        return false;
    const AVStream *videoStream = input->streams[s.videoIndex];
    s.videoTimeBase = videoStream->time_base;
    const AVRational rate = av_guess_frame_rate(input, input->streams[s.videoIndex], nullptr);
    if (rate.num > 0 && rate.den > 0)
        s.frameDurationUs = av_rescale(1000000, rate.den, rate.num);

    s.audioIndex = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, s.videoIndex, nullptr, 0);
    if (s.audioIndex >= 0) {
        QString audioError;
        s.audio = openDecoder(input, s.audioIndex, &audioError);
        if (s.audio) {
            s.audioTimeBase = input->streams[s.audioIndex]->time_base;
            result->hasAudio = true;
            result->sampleRate = s.audio->sample_rate;
            result->channels = s.audio->ch_layout.nb_channels;
        } else {
            videoLog.log(3, "MediaDecoder - the sound cannot be decoded, playing without: %s",
                         qPrintable(audioError));
            s.audioIndex = -1;
        }
    }
    s.startUs = input->start_time == AV_NOPTS_VALUE ? 0 : input->start_time;
    result->durationUs = input->duration == AV_NOPTS_VALUE ? 0 : input->duration;
    result->frameSize = QSize(s.video->width, s.video->height);
    result->valid = true;
    return true;
}

void MediaDecoder::decodeLoop()
{
    Streams &s = *streams;
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return started || stopping; });
        if (!ring) {
            s.audioIndex = -1;
            s.audio.reset();
        } else {
            s.outputSampleFormat = sampleFormatOf(outputFormat.sampleFormat());
        }
    }
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (stopping)
                return;
            if (seekPending) {
                lock.unlock();
                seekFile();
                continue;
            }
            if (endedSerial == serial) {
                wake.wait(lock, [this] { return stopping || seekPending; });
                continue;
            }
        }
        const int result = av_read_frame(s.input.get(), s.packet.get());
        if (result == AVERROR(EAGAIN))
            continue;
        if (result < 0) {
            if (result != AVERROR_EOF)
                videoLog.log(4, "MediaDecoder - reading stops early: %s",
                             qPrintable(ffmpegError(result)));
            decodePacket(true, true);
            if (s.audio)
                decodePacket(false, true);
            frames.setEnded(serial);
            if (ring)
                ring->setEnded(serial);
            std::lock_guard lock(mutex);
            endedSerial = serial;
            continue;
        }
        if (s.packet->stream_index == s.videoIndex)
            decodePacket(true, false);
        else if (s.packet->stream_index == s.audioIndex)
            decodePacket(false, false);
        av_packet_unref(s.packet.get());
    }
}

bool MediaDecoder::decodePacket(bool video, bool flush)
{
    Streams &s = *streams;
    AVCodecContext *context = video ? s.video.get() : s.audio.get();
    // A damaged packet costs its own picture or sound, never the rest of the file.
    if (avcodec_send_packet(context, flush ? nullptr : s.packet.get()) < 0 && !flush)
        return false;
    while (avcodec_receive_frame(context, s.frame.get()) == 0) {
        if (video)
            queuePicture();
        else
            queueSound();
        av_frame_unref(s.frame.get());
    }
    return true;
}

void MediaDecoder::queuePicture()
{
    Streams &s = *streams;
    AVFrame *frame = s.frame.get();
    const qint64 pts = frame->best_effort_timestamp;
    const qint64 ptsUs = pts == AV_NOPTS_VALUE
            ? s.nextPictureUs
            : av_rescale_q(pts, s.videoTimeBase, AV_TIME_BASE_Q) - s.startUs;
    s.nextPictureUs = ptsUs + s.frameDurationUs;
    reached.store(std::max(reached.load(), s.nextPictureUs));
    if (s.nextPictureUs <= skipBeforeUs)
        return;
    AVFrame *queued = av_frame_alloc();
    if (!queued)
        return;
    av_frame_move_ref(queued, frame);
    frames.push(queued, ptsUs, serial, mayDropPictures);
}

void MediaDecoder::queueSound()
{
    Streams &s = *streams;
    AVFrame *frame = s.frame.get();
    const int outRate = outputFormat.sampleRate();
    const int outChannels = outputFormat.channelCount();
    if (!s.resampler) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, outChannels);
        AVChannelLayout inLayout;
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&inLayout, &frame->ch_layout);
        SwrContext *raw = nullptr;
        int result = swr_alloc_set_opts2(&raw, &outLayout, s.outputSampleFormat, outRate, &inLayout,
                                         AVSampleFormat(frame->format), frame->sample_rate, 0,
                                         nullptr);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        s.resampler.reset(raw);
        if (result >= 0)
            result = swr_init(raw);
        if (result < 0) {
            videoLog.log(3, "MediaDecoder - the sound cannot be converted: %s",
                         qPrintable(ffmpegError(result)));
            s.resampler.reset();
            return;
        }
    }
    const int frameBytes = outputFormat.bytesPerFrame();
    const int capacity = swr_get_out_samples(s.resampler.get(), frame->nb_samples);
    if (capacity <= 0)
        return;
    s.converted.resize(qsizetype(capacity) * frameBytes);
    auto *out = reinterpret_cast<uint8_t *>(s.converted.data());
    const int samples
            = swr_convert(s.resampler.get(), &out, capacity,
                          const_cast<const uint8_t **>(frame->extended_data), frame->nb_samples);
    if (samples <= 0)
        return;
    const qint64 pts = frame->best_effort_timestamp;
    qint64 ptsUs = pts == AV_NOPTS_VALUE
            ? s.nextSoundUs
            : av_rescale_q(pts, s.audioTimeBase, AV_TIME_BASE_Q) - s.startUs;
    s.nextSoundUs = ptsUs + qint64(samples) * 1000000 / outRate;
    reached.store(std::max(reached.load(), s.nextSoundUs));
    qint64 skip = 0;
    if (ptsUs < skipBeforeUs) {
        skip = std::min<qint64>(samples, (skipBeforeUs - ptsUs) * outRate / 1000000);
        ptsUs += skip * 1000000 / outRate;
    }
    if (skip < samples)
        ring->write(s.converted.constData() + skip * frameBytes, (samples - skip) * frameBytes,
                    ptsUs, serial);
}

void MediaDecoder::seekFile()
{
    Streams &s = *streams;
    qint64 targetUs;
    {
        std::lock_guard lock(mutex);
        seekPending = false;
        targetUs = seekTargetUs;
        serial = pendingSerial;
    }
    const qint64 timestamp = targetUs + s.startUs;
    const int result = avformat_seek_file(s.input.get(), -1, INT64_MIN, timestamp, timestamp, 0);
    if (result < 0)
        videoLog.log(4, "MediaDecoder - seeking to %lld ms failed: %s",
                     static_cast<long long>(targetUs / 1000), qPrintable(ffmpegError(result)));
    avcodec_flush_buffers(s.video.get());
    if (s.audio)
        avcodec_flush_buffers(s.audio.get());
    // The resampler's delay line holds sound from before the seek.
    s.resampler.reset();
    s.nextPictureUs = s.nextSoundUs = targetUs;
    skipBeforeUs = targetUs;
}

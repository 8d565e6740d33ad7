#include "RecordingProbe.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <QtEndian>

namespace {

AVFormatContext *openInput(const QString &path)
{
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return nullptr;
    if (avformat_find_stream_info(context, nullptr) < 0) {
        avformat_close_input(&context);
        return nullptr;
    }
    return context;
}

} // namespace

RecordingProbe RecordingProbe::of(const QString &path)
{
    RecordingProbe probe;
    AVFormatContext *context = openInput(path);
    if (!context)
        return probe;
    probe.opened = true;
    int videoIndex = -1;
    int audioIndex = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        const AVCodecParameters *parameters = stream->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++probe.videoStreams;
            videoIndex = int(i);
            char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
            av_fourcc_make_string(tag, parameters->codec_tag);
            probe.codecTag = parameters->codec_id == AV_CODEC_ID_RAWVIDEO
                    ? QStringLiteral("DIB ")
                    : QString::fromLatin1(tag);
            probe.width = parameters->width;
            probe.height = parameters->height;
            probe.framesPerSecond = av_q2d(stream->avg_frame_rate.num ? stream->avg_frame_rate
                                                                      : stream->r_frame_rate);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++probe.audioStreams;
            audioIndex = int(i);
            probe.sampleRate = parameters->sample_rate;
            probe.channels = parameters->ch_layout.nb_channels;
            probe.bytesPerSample = av_get_bits_per_sample(parameters->codec_id) / 8;
        }
    }
    AVPacket *packet = av_packet_alloc();
    qint64 lastVideoPts = -1;
    while (av_read_frame(context, packet) >= 0) {
        if (packet->stream_index == videoIndex && packet->size > 0) {
            ++probe.frames;
            const AVRational base = context->streams[videoIndex]->time_base;
            lastVideoPts = qMax(lastVideoPts, av_rescale_q(packet->pts, base, AVRational{1, 1000}));
        } else if (packet->stream_index == audioIndex) {
            probe.pcm.append(reinterpret_cast<const char *>(packet->data), packet->size);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    if (lastVideoPts >= 0 && probe.framesPerSecond > 0)
        probe.videoSeconds = lastVideoPts / 1000.0 + 1 / probe.framesPerSecond;
    if (probe.sampleRate > 0 && probe.channels > 0 && probe.bytesPerSample > 0)
        probe.audioSeconds = double(probe.pcm.size())
                / (probe.sampleRate * probe.channels * probe.bytesPerSample);
    return probe;
}

double RecordingProbe::reportedSeconds(const QString &path)
{
    AVFormatContext *context = openInput(path);
    if (!context)
        return -1;
    const double seconds = context->duration > 0 ? context->duration / double(AV_TIME_BASE) : -1;
    avformat_close_input(&context);
    return seconds;
}

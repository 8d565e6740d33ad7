#include "RecordingProbe.h"

#include <FfmpegHandles.h>

namespace {

/// The first frame `decoder` makes of `packet`, as a picture; null when it makes none.
QImage decodedPicture(AVCodecContext *decoder, const AVPacket *packet)
{
    FramePtr frame(av_frame_alloc());
    if (!decoder || avcodec_send_packet(decoder, packet) < 0
        || avcodec_receive_frame(decoder, frame.get()) < 0)
        return {};
    QImage picture(frame->width, frame->height, QImage::Format_RGB32);
    SwsContextPtr toRgb(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                       frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_POINT,
                                       nullptr, nullptr, nullptr));
    uint8_t *planes[] = {picture.bits()};
    const int strides[] = {int(picture.bytesPerLine())};
    sws_scale(toRgb.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return picture;
}

} // namespace

RecordingProbe RecordingProbe::of(const QString &path, int thumbnailWidth)
{
    RecordingProbe probe;
    const InputFormatPtr input = openInputFormat(path);
    if (!input)
        return probe;
    probe.opened = true;
    int videoIndex = -1;
    int audioIndex = -1;
    CodecContextPtr decoder;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream *stream = input->streams[i];
        const AVCodecParameters *parameters = stream->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO) {
            ++probe.videoStreams;
            videoIndex = int(i);
            probe.tag = parameters->codec_tag;
            char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
            av_fourcc_make_string(tag, parameters->codec_tag);
            probe.codecTag = parameters->codec_id == AV_CODEC_ID_RAWVIDEO
                    ? QStringLiteral("DIB ")
                    : QString::fromLatin1(tag);
            probe.width = parameters->width;
            probe.height = parameters->height;
            probe.framesPerSecond = av_q2d(stream->avg_frame_rate.num ? stream->avg_frame_rate
                                                                      : stream->r_frame_rate);
            decoder.reset(avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
            avcodec_parameters_to_context(decoder.get(), parameters);
            avcodec_open2(decoder.get(), decoder->codec, nullptr);
        } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++probe.audioStreams;
            audioIndex = int(i);
            probe.sampleRate = parameters->sample_rate;
            probe.channels = parameters->ch_layout.nb_channels;
            probe.bytesPerSample = av_get_bits_per_sample(parameters->codec_id) / 8;
        }
    }
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        const AVStream *stream = input->streams[packet->stream_index];
        if (packet->stream_index == videoIndex && packet->size > 0) {
            probe.framePts.append(packet->pts);
            probe.videoSeconds
                    = std::max(probe.videoSeconds,
                               double(packet->pts + packet->duration) * av_q2d(stream->time_base));
            if (thumbnailWidth > 0) {
                const QImage decoded = decodedPicture(decoder.get(), packet.get());
                if (probe.picture.isNull())
                    probe.picture = decoded;
                if (!decoded.isNull())
                    probe.thumbnails.append(decoded.scaledToWidth(thumbnailWidth));
            } else if (probe.picture.isNull()) {
                probe.picture = decodedPicture(decoder.get(), packet.get());
            }
        } else if (packet->stream_index == audioIndex) {
            probe.pcm.append(reinterpret_cast<const char *>(packet->data), packet->size);
        }
        av_packet_unref(packet.get());
    }
    probe.frames = int(probe.framePts.size());
    if (probe.sampleRate > 0 && probe.channels > 0 && probe.bytesPerSample > 0)
        probe.audioSeconds = double(probe.pcm.size())
                / (probe.sampleRate * probe.channels * probe.bytesPerSample);
    return probe;
}

double RecordingProbe::reportedSeconds(const QString &path)
{
    const InputFormatPtr input = openInputFormat(path);
    return input && input->duration > 0 ? input->duration / double(AV_TIME_BASE) : -1;
}

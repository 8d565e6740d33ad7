#pragma once

// Owners of FFmpeg's handles. Include from .cpp files only: FFmpeg's headers never reach an
// interface header.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <QString>

#include <memory>

namespace FfmpegHandles {

struct OutputFormatDeleter
{
    void operator()(AVFormatContext *context) const
    {
        // The muxer's file is ours to close; avformat_free_context leaves it open.
        if (context->pb && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

struct InputFormatDeleter
{
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};

struct CodecContextDeleter
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};

struct FrameDeleter
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

struct PacketDeleter
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

struct SwsContextDeleter
{
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

struct SwrContextDeleter
{
    void operator()(SwrContext *context) const { swr_free(&context); }
};

} // namespace FfmpegHandles

using OutputFormatPtr = std::unique_ptr<AVFormatContext, FfmpegHandles::OutputFormatDeleter>;
using InputFormatPtr = std::unique_ptr<AVFormatContext, FfmpegHandles::InputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, FfmpegHandles::CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FfmpegHandles::FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, FfmpegHandles::PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, FfmpegHandles::SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, FfmpegHandles::SwrContextDeleter>;

/// FFmpeg's words for an error code, for log lines.
inline QString ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

/// Owner of an options dictionary; FFmpeg's calls take `&entries` and consume what they use.
struct FfmpegOptions
{
    AVDictionary *entries = nullptr;

    FfmpegOptions() = default;
    FfmpegOptions(const FfmpegOptions &) = delete;
    FfmpegOptions &operator=(const FfmpegOptions &) = delete;
    ~FfmpegOptions() { av_dict_free(&entries); }
    void set(const char *key, const char *value) { av_dict_set(&entries, key, value, 0); }
};

/// A muxer context for `format` that will write to `url`; null with FFmpeg's code in `result`.
inline OutputFormatPtr createOutputFormat(const char *format, const QByteArray &url, int *result)
{
    AVFormatContext *raw = nullptr;
    *result = avformat_alloc_output_context2(&raw, nullptr, format, url.constData());
    return OutputFormatPtr(*result < 0 ? nullptr : raw);
}

/// Opens `url` for reading into `context`, made by avformat_alloc_context so that its interrupt
/// callback and flags hold from the first byte read; FFmpeg frees it when the open fails, and
/// `context` is then null. Returns FFmpeg's code.
inline int openInput(InputFormatPtr &context, const QByteArray &url,
                     FfmpegOptions *options = nullptr)
{
    AVFormatContext *raw = context.release();
    const int result = avformat_open_input(&raw, url.constData(), nullptr,
                                           options ? &options->entries : nullptr);
    context.reset(result < 0 ? nullptr : raw);
    return result;
}

/// Opens `path` for reading with libavformat and reads its stream information; null when it
/// cannot, with the reason in `error` when given.
inline InputFormatPtr openInputFormat(const QString &path, QString *error = nullptr)
{
    InputFormatPtr context(avformat_alloc_context());
    int result = context ? openInput(context, path.toUtf8()) : AVERROR(ENOMEM);
    if (context)
        result = avformat_find_stream_info(context.get(), nullptr);
    if (result >= 0)
        return context;
    if (error)
        *error = ffmpegError(result);
    return {};
}

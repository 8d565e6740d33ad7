#pragma once

// Include from .cpp files only: it brings FFmpeg's headers.

#include <FfmpegHandles.h>

#include <atomic>

/// Lets FFmpeg give up reading a media file when asked to stop or once it has read more than a
/// budget, so that a damaged file cannot keep a worker reading the whole of it. Installs itself
/// as the context's interrupt callback; it must outlive the reads.
class MediaReadWatch
{
public:
    MediaReadWatch(AVFormatContext *context, const std::atomic<bool> *stop, int64_t budget)
        : context(context)
        , stop(stop)
        , budget(budget)
    {
        context->interrupt_callback = {interrupted, this};
    }
    MediaReadWatch(const MediaReadWatch &) = delete;
    MediaReadWatch &operator=(const MediaReadWatch &) = delete;

    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }

private:
    // FFmpeg asks before each read whether to give up.
    static int interrupted(void *opaque)
    {
        const auto *watch = static_cast<const MediaReadWatch *>(opaque);
        if (watch->stopped())
            return 1;
        const AVIOContext *io = watch->context->pb;
        return io && io->bytes_read > watch->budget;
    }

    const AVFormatContext *context;
    const std::atomic<bool> *stop;
    int64_t budget;
};

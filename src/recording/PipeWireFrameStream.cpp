#include "PipeWireFrameStream.h"

#include <LogModule.h>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include <linux/dma-buf.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const LogModule streamLog("velora/recording");

// Linear DMA-BUF buffers can be read through a mapping like shared memory.
constexpr uint64_t LinearModifier = 0;
// The recording's rate: the producer need not copy the screen more often.
constexpr int FramesPerSecond = 25;

/// One buffer of the producer's, mapped for reading. Shared, so that a picture being read keeps
/// its memory even when the producer takes the buffer away meanwhile (a new size, the end).
struct Mapping
{
    uchar *base = nullptr;
    size_t length = 0;
    size_t start = 0; // of the buffer's data in the mapping
    int dmaBufFd = -1; // for the reads' brackets; -1 for shared memory

    ~Mapping()
    {
        if (base)
            munmap(base, length);
    }
    const uchar *data() const { return base + start; }

    /// Brackets the CPU's reading of a DMA-BUF, so that the device's writes are visible to it.
    void sync(uint64_t when) const
    {
        if (dmaBufFd < 0)
            return;
        dma_buf_sync sync{when | DMA_BUF_SYNC_READ};
        ioctl(dmaBufFd, DMA_BUF_IOCTL_SYNC, &sync);
    }
};

/// Maps `data` (shared memory or DMA-BUF); null when it cannot be.
std::shared_ptr<Mapping> mapBuffer(const spa_data &data)
{
    if ((data.type != SPA_DATA_MemFd && data.type != SPA_DATA_DmaBuf) || data.fd < 0)
        return {};
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    auto mapping = std::make_shared<Mapping>();
    const size_t pageStart = data.mapoffset / page * page;
    mapping->start = data.mapoffset - pageStart;
    mapping->length = mapping->start + data.maxsize;
    void *base
            = mmap(nullptr, mapping->length, PROT_READ, MAP_SHARED, int(data.fd), off_t(pageStart));
    if (base == MAP_FAILED)
        return {};
    mapping->base = static_cast<uchar *>(base);
    mapping->dmaBufFd = data.type == SPA_DATA_DmaBuf ? int(data.fd) : -1;
    return mapping;
}

} // namespace

struct PipeWireFrameStream::Private
{
    /// The part of a frame handed out: the area asked for, or the whole frame when the area
    /// lies outside it.
    QRect crop() const
    {
        const QRect whole(QPoint(), frameSize);
        const QRect area = wanted.intersected(whole);
        return area.isEmpty() ? whole : area;
    }
    /// Bytes from one line of a frame to the next; producers may leave the chunk's stride 0.
    int strideOf(const spa_chunk &chunk) const
    {
        return chunk.stride > 0 ? chunk.stride : frameSize.width() * 4;
    }

    QRect wanted;
    pw_thread_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    pw_stream *stream = nullptr;
    spa_hook listener{};

    // Under the loop's lock, which the loop holds while it calls back.
    spa_video_format format = SPA_VIDEO_FORMAT_UNKNOWN;
    QSize frameSize;
    bool shortLogged = false;
    pw_buffer *pending = nullptr; // the newest picture, not handed out yet
    pw_buffer *reading = nullptr; // the picture handed out last, kept from the producer

    // Said between the stream's thread and the reader.
    std::mutex mutex;
    std::condition_variable arrived;
    QSize pictureSize;
    bool fresh = false;
    bool ended = false;
    QString endReason;

    // The reader's own: the picture handed out keeps its mapping, and its conversion when the
    // producer's byte order is R, G, B.
    std::shared_ptr<Mapping> readMapping;
    std::vector<uchar> converted;
    DesktopPicture handedOut;

    ~Private();
    void end(const QString &reason);
    bool usable(const pw_buffer *buffer);
    void giveBack(pw_buffer *&buffer);

    static void stateChanged(void *data, pw_stream_state old, pw_stream_state state,
                             const char *error);
    static void paramChanged(void *data, uint32_t id, const spa_pod *param);
    static void addBuffer(void *data, pw_buffer *buffer);
    static void removeBuffer(void *data, pw_buffer *buffer);
    static void process(void *data);
    static const pw_stream_events &events()
    {
        static const pw_stream_events listened = [] {
            pw_stream_events events{};
            events.version = PW_VERSION_STREAM_EVENTS;
            events.state_changed = &stateChanged;
            events.param_changed = &paramChanged;
            events.add_buffer = &addBuffer;
            events.remove_buffer = &removeBuffer;
            events.process = &process;
            return events;
        }();
        return listened;
    }
};

namespace {

/// The picture formats taken: 32-bit pixels in either byte order, any size, at most the
/// recording's rate; with `linear`, only in linear DMA-BUF buffers.
const spa_pod *formatParameter(spa_pod_builder *builder, bool linear)
{
    const spa_rectangle anySize{1920, 1080};
    const spa_rectangle smallest{1, 1};
    const spa_rectangle largest{16384, 16384};
    const spa_fraction variable{0, 1};
    const spa_fraction fastest{1000, 1};
    const spa_fraction recorded{FramesPerSecond, 1};
    const spa_fraction slowest{1, 1};
    spa_pod_frame frame;
    spa_pod_builder_push_object(builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(
            builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                   SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&anySize, &smallest, &largest),
            SPA_FORMAT_VIDEO_framerate,
            SPA_POD_CHOICE_RANGE_Fraction(&recorded, &variable, &fastest),
            SPA_FORMAT_VIDEO_maxFramerate,
            SPA_POD_CHOICE_RANGE_Fraction(&recorded, &slowest, &recorded), 0);
    if (linear) {
        spa_pod_builder_prop(builder, SPA_FORMAT_VIDEO_modifier, SPA_POD_PROP_FLAG_MANDATORY);
        spa_pod_builder_long(builder, int64_t(LinearModifier));
    }
    return static_cast<const spa_pod *>(spa_pod_builder_pop(builder, &frame));
}

} // namespace

PipeWireFrameStream::PipeWireFrameStream(int pipeWireFd, quint32 node, QRect area)
    : d(std::make_unique<Private>())
{
    d->wanted = area;
    pw_init(nullptr, nullptr);
    d->loop = pw_thread_loop_new("velora-cast", nullptr);
    d->context = d->loop ? pw_context_new(pw_thread_loop_get_loop(d->loop), nullptr, 0) : nullptr;
    if (!d->context || pw_thread_loop_start(d->loop) < 0) {
        close(pipeWireFd);
        d->end(QStringLiteral("PipeWire's loop cannot start"));
        return;
    }
    pw_thread_loop_lock(d->loop);
    d->core = pw_context_connect_fd(d->context, pipeWireFd, nullptr, 0);
    if (d->core)
        d->stream
                = pw_stream_new(d->core, "Velora screen recording",
                                pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                                  "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (d->stream) {
        pw_stream_add_listener(d->stream, &d->listener, &Private::events(), d.get());
        uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        // Linear DMA-BUF first: where the producer has it, it saves a copy on its side.
        const spa_pod *formats[]
                = {formatParameter(&builder, true), formatParameter(&builder, false)};
        const int connected = pw_stream_connect(d->stream, PW_DIRECTION_INPUT, node,
                                                PW_STREAM_FLAG_AUTOCONNECT, formats, 2);
        if (connected < 0)
            d->end(QStringLiteral("cannot connect to node %1: %2")
                           .arg(node)
                           .arg(QString::fromLocal8Bit(strerror(-connected))));
    } else {
        d->end(QStringLiteral("cannot reach PipeWire: %1").arg(qt_error_string(errno)));
    }
    pw_thread_loop_unlock(d->loop);
}

PipeWireFrameStream::~PipeWireFrameStream() = default;

PipeWireFrameStream::Private::~Private()
{
    // Stopped first, so that no callback runs while the rest goes; the buffers held go with the
    // stream.
    if (loop)
        pw_thread_loop_stop(loop);
    if (readMapping)
        readMapping->sync(DMA_BUF_SYNC_END);
    if (stream)
        pw_stream_destroy(stream);
    if (core)
        pw_core_disconnect(core);
    if (context)
        pw_context_destroy(context);
    if (loop)
        pw_thread_loop_destroy(loop);
}

void PipeWireFrameStream::Private::end(const QString &reason)
{
    {
        std::lock_guard lock(mutex);
        if (ended)
            return;
        ended = true;
        endReason = reason;
    }
    arrived.notify_all();
    streamLog.log(LogSystem::LogError, "PipeWireFrameStream - the screen cast ended: %s",
                  qPrintable(reason));
}

void PipeWireFrameStream::Private::stateChanged(void *data, pw_stream_state old,
                                                pw_stream_state state, const char *error)
{
    auto *d = static_cast<Private *>(data);
    if (state == PW_STREAM_STATE_ERROR)
        d->end(QString::fromUtf8(error ? error : "a stream error"));
    else if (state == PW_STREAM_STATE_UNCONNECTED && old != PW_STREAM_STATE_CONNECTING)
        d->end(QStringLiteral("the producer went away"));
}

void PipeWireFrameStream::Private::paramChanged(void *data, uint32_t id, const spa_pod *param)
{
    auto *d = static_cast<Private *>(data);
    spa_video_info_raw info{};
    if (id != SPA_PARAM_Format || !param || spa_format_video_raw_parse(param, &info) < 0)
        return;
    d->format = info.format;
    d->frameSize = QSize(int(info.size.width), int(info.size.height));
    const bool dmaBuf = spa_pod_find_prop(param, nullptr, SPA_FORMAT_VIDEO_modifier) != nullptr;
    streamLog.log(LogSystem::LogNotice, "PipeWireFrameStream - %dx%d pictures, format %u%s",
                  d->frameSize.width(), d->frameSize.height(), unsigned(info.format),
                  dmaBuf ? " in DMA-BUF" : "");
    uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const auto *buffers = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int(dmaBuf ? 1 << SPA_DATA_DmaBuf : 1 << SPA_DATA_MemFd)));
    pw_stream_update_params(d->stream, &buffers, 1);
}

void PipeWireFrameStream::Private::addBuffer(void *data, pw_buffer *buffer)
{
    auto mapping = buffer->buffer->n_datas > 0 ? mapBuffer(buffer->buffer->datas[0])
                                               : std::shared_ptr<Mapping>();
    buffer->user_data = mapping ? new std::shared_ptr<Mapping>(std::move(mapping)) : nullptr;
}

void PipeWireFrameStream::Private::removeBuffer(void *data, pw_buffer *buffer)
{
    auto *d = static_cast<Private *>(data);
    // A picture being read keeps its memory through the reader's share of the mapping.
    if (d->pending == buffer)
        d->pending = nullptr;
    if (d->reading == buffer)
        d->reading = nullptr;
    delete static_cast<std::shared_ptr<Mapping> *>(buffer->user_data);
    buffer->user_data = nullptr;
}

bool PipeWireFrameStream::Private::usable(const pw_buffer *buffer)
{
    if (!buffer->user_data || frameSize.isEmpty())
        return false;
    const spa_data &data = buffer->buffer->datas[0];
    // A buffer that only moved the pointer, or that the producer spoilt, carries no picture.
    if (!data.chunk || data.chunk->size == 0 || (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return false;
    const qsizetype stride = strideOf(*data.chunk);
    if (qsizetype(data.chunk->offset) + stride * (frameSize.height() - 1) + frameSize.width() * 4
        <= qsizetype(data.maxsize))
        return true;
    if (!std::exchange(shortLogged, true))
        streamLog.log(LogSystem::LogError,
                      "PipeWireFrameStream - a buffer of %u bytes is too short for %dx%d",
                      data.maxsize, frameSize.width(), frameSize.height());
    return false;
}

void PipeWireFrameStream::Private::giveBack(pw_buffer *&buffer)
{
    if (buffer)
        pw_stream_queue_buffer(stream, std::exchange(buffer, nullptr));
}

void PipeWireFrameStream::Private::process(void *data)
{
    auto *d = static_cast<Private *>(data);
    // Only the newest picture counts; older ones go straight back to the producer.
    pw_buffer *newest = nullptr;
    while (pw_buffer *next = pw_stream_dequeue_buffer(d->stream)) {
        d->giveBack(newest);
        newest = next;
    }
    if (!newest)
        return;
    if (!d->usable(newest)) {
        d->giveBack(newest);
        return;
    }
    d->giveBack(d->pending);
    d->pending = newest;
    const QSize shown = d->crop().size();
    {
        std::lock_guard lock(d->mutex);
        d->pictureSize = shown;
        d->fresh = true;
    }
    d->arrived.notify_all();
}

bool PipeWireFrameStream::waitForFirstPicture(int ms, QString *why)
{
    std::unique_lock lock(d->mutex);
    if (!d->arrived.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return d->fresh || d->ended; })) {
        *why = QStringLiteral("no picture came within %1 ms").arg(ms);
        return false;
    }
    *why = d->endReason;
    return !d->ended;
}

QSize PipeWireFrameStream::size() const
{
    std::lock_guard lock(d->mutex);
    return d->pictureSize;
}

bool PipeWireFrameStream::latest(DesktopPicture &picture)
{
    {
        std::lock_guard lock(d->mutex);
        if (d->ended)
            return false;
        d->fresh = false;
    }
    // The loop's lock keeps the stream's thread from handing buffers out or taking them away
    // meanwhile.
    pw_thread_loop_lock(d->loop);
    if (d->pending) {
        if (d->readMapping)
            d->readMapping->sync(DMA_BUF_SYNC_END);
        d->giveBack(d->reading);
        d->reading = std::exchange(d->pending, nullptr);
        d->readMapping = *static_cast<std::shared_ptr<Mapping> *>(d->reading->user_data);
        d->readMapping->sync(DMA_BUF_SYNC_START);
        const spa_chunk &chunk = *d->reading->buffer->datas[0].chunk;
        const QRect area = d->crop();
        const int stride = d->strideOf(chunk);
        picture.pixels = d->readMapping->data() + chunk.offset + area.y() * stride + area.x() * 4;
        picture.width = area.width();
        picture.height = area.height();
        picture.bytesPerLine = stride;
        if (d->format == SPA_VIDEO_FORMAT_RGBx || d->format == SPA_VIDEO_FORMAT_RGBA) {
            // The recording takes B, G, R, X: this producer's byte order needs a copy.
            const int lineBytes = area.width() * 4;
            d->converted.resize(size_t(lineBytes) * area.height());
            for (int y = 0; y < area.height(); ++y) {
                const uchar *source = picture.pixels + y * stride;
                uchar *target = d->converted.data() + size_t(y) * lineBytes;
                for (int x = 0; x < lineBytes; x += 4) {
                    target[x] = source[x + 2];
                    target[x + 1] = source[x + 1];
                    target[x + 2] = source[x];
                    target[x + 3] = source[x + 3];
                }
            }
            picture.pixels = d->converted.data();
            picture.bytesPerLine = lineBytes;
        }
        d->handedOut = picture;
    }
    pw_thread_loop_unlock(d->loop);
    if (!d->handedOut.pixels)
        return false;
    picture = d->handedOut;
    return true;
}

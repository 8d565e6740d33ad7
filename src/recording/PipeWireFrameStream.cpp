#include "PipeWireFrameStream.h"

#include <LogModule.h>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

#include <linux/dma-buf.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

namespace {

const LogModule streamLog("velora/recording");

// Linear DMA-BUF buffers can be read through a mapping like shared memory.
constexpr uint64_t LinearModifier = 0;

/// Brackets the CPU's reading of a DMA-BUF, so that the device's writes are visible to it.
void syncDmaBuf(const spa_data &data, uint64_t when)
{
    if (data.type != SPA_DATA_DmaBuf)
        return;
    dma_buf_sync sync{when | DMA_BUF_SYNC_READ};
    ioctl(int(data.fd), DMA_BUF_IOCTL_SYNC, &sync);
}

} // namespace

struct PipeWireFrameStream::Private
{
    QRect wanted;
    pw_thread_loop *loop = nullptr;
    pw_context *context = nullptr;
    pw_core *core = nullptr;
    pw_stream *stream = nullptr;
    spa_hook listener{};

    // On the stream's thread only.
    spa_video_format format = SPA_VIDEO_FORMAT_UNKNOWN;
    QSize frameSize;
    std::vector<uchar> spare;
    bool shortLogged = false;

    // Handed over between the stream's thread and the reader.
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<uchar> newest;
    QSize newestSize;
    bool fresh = false;
    bool ended = false;
    QString endReason;

    // The reader's own.
    std::vector<uchar> front;
    QSize frontSize;

    ~Private();
    void end(const QString &reason);
    void take(const spa_buffer *buffer);

    static void stateChanged(void *data, pw_stream_state old, pw_stream_state state,
                             const char *error);
    static void paramChanged(void *data, uint32_t id, const spa_pod *param);
    static void process(void *data);
    static const pw_stream_events &events()
    {
        static const pw_stream_events listened = [] {
            pw_stream_events events{};
            events.version = PW_VERSION_STREAM_EVENTS;
            events.state_changed = &stateChanged;
            events.param_changed = &paramChanged;
            events.process = &process;
            return events;
        }();
        return listened;
    }
};

namespace {

/// The picture formats taken: 32-bit pixels in either byte order, any size and rate; with
/// `linear`, only in linear DMA-BUF buffers.
const spa_pod *formatParameter(spa_pod_builder *builder, bool linear)
{
    const spa_rectangle anySize{1920, 1080};
    const spa_rectangle smallest{1, 1};
    const spa_rectangle largest{16384, 16384};
    const spa_fraction anyRate{25, 1};
    const spa_fraction slowest{0, 1};
    const spa_fraction fastest{1000, 1};
    spa_pod_frame frame;
    spa_pod_builder_push_object(builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(
            builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx,
                                   SPA_VIDEO_FORMAT_RGBA),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&anySize, &smallest, &largest),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&anyRate, &slowest, &fastest),
            0);
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
        const int connected = pw_stream_connect(
                d->stream, PW_DIRECTION_INPUT, node,
                pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), formats,
                2);
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
    // Stopped first, so that no callback runs while the rest goes.
    if (loop)
        pw_thread_loop_stop(loop);
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
    streamLog.log(LogSystem::LogNotice, "PipeWireFrameStream - %dx%d pictures, format %u%s",
                  d->frameSize.width(), d->frameSize.height(), unsigned(info.format),
                  info.modifier == LinearModifier
                                  && spa_pod_find_prop(param, nullptr, SPA_FORMAT_VIDEO_modifier)
                          ? " in DMA-BUF"
                          : "");
    uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const auto *buffers = static_cast<const spa_pod *>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)
                                     | (1 << SPA_DATA_DmaBuf))));
    pw_stream_update_params(d->stream, &buffers, 1);
}

void PipeWireFrameStream::Private::process(void *data)
{
    auto *d = static_cast<Private *>(data);
    // Only the newest picture counts; older ones queued meanwhile go straight back.
    pw_buffer *newest = nullptr;
    while (pw_buffer *next = pw_stream_dequeue_buffer(d->stream)) {
        if (newest)
            pw_stream_queue_buffer(d->stream, newest);
        newest = next;
    }
    if (!newest)
        return;
    d->take(newest->buffer);
    pw_stream_queue_buffer(d->stream, newest);
}

void PipeWireFrameStream::Private::take(const spa_buffer *buffer)
{
    if (buffer->n_datas < 1 || frameSize.isEmpty())
        return;
    const spa_data &data = buffer->datas[0];
    // A buffer that only moved the pointer, or that the producer spoilt, carries no picture.
    if (!data.data || !data.chunk || data.chunk->size == 0
        || (data.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return;
    const QRect whole(QPoint(), frameSize);
    const QRect area = wanted.intersected(whole).isEmpty() ? whole : wanted.intersected(whole);
    const qsizetype stride = data.chunk->stride > 0 ? data.chunk->stride : whole.width() * 4;
    const qsizetype offset = data.chunk->offset;
    const qsizetype needed = offset + stride * (area.bottom()) + qsizetype(area.right() + 1) * 4;
    if (needed > qsizetype(data.maxsize)) {
        if (!std::exchange(shortLogged, true))
            streamLog.log(LogSystem::LogError,
                          "PipeWireFrameStream - a buffer of %u bytes is too short for %dx%d",
                          data.maxsize, whole.width(), whole.height());
        return;
    }
    const int lineBytes = area.width() * 4;
    spare.resize(size_t(lineBytes) * area.height());
    const bool swapRedBlue = format == SPA_VIDEO_FORMAT_RGBx || format == SPA_VIDEO_FORMAT_RGBA;
    syncDmaBuf(data, DMA_BUF_SYNC_START);
    const auto *source
            = static_cast<const uchar *>(data.data) + offset + area.y() * stride + area.x() * 4;
    for (int y = 0; y < area.height(); ++y, source += stride) {
        uchar *target = spare.data() + size_t(y) * lineBytes;
        if (!swapRedBlue) {
            std::copy_n(source, lineBytes, target);
            continue;
        }
        for (int x = 0; x < lineBytes; x += 4) {
            target[x] = source[x + 2];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x];
            target[x + 3] = source[x + 3];
        }
    }
    syncDmaBuf(data, DMA_BUF_SYNC_END);
    {
        std::lock_guard lock(mutex);
        std::swap(spare, newest);
        newestSize = area.size();
        fresh = true;
    }
    arrived.notify_all();
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
    return d->newestSize;
}

bool PipeWireFrameStream::latest(DesktopPicture &picture)
{
    {
        std::lock_guard lock(d->mutex);
        if (d->ended)
            return false;
        if (d->fresh) {
            std::swap(d->newest, d->front);
            d->frontSize = d->newestSize;
            d->fresh = false;
        }
    }
    if (d->frontSize.isEmpty())
        return false;
    picture.pixels = d->front.data();
    picture.width = d->frontSize.width();
    picture.height = d->frontSize.height();
    picture.bytesPerLine = d->frontSize.width() * 4;
    return true;
}

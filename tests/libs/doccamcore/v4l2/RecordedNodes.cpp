#include "RecordedNodes.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/mman.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

// Spaces the buffers' mapping offsets, as a driver spaces them by page.
constexpr off_t BufferStride = 1 << 24;

template<std::size_t N> void copyText(__u8 (&target)[N], const QString &text)
{
    qstrncpy(reinterpret_cast<char *>(target), text.toUtf8().constData(), N);
}

/// A flat picture of `size` as the camera would send it in `pixelFormat`.
QByteArray frameFor(std::uint32_t pixelFormat, QSize size)
{
    if (pixelFormat != V4L2_PIX_FMT_MJPEG)
        return QByteArray(size.width() * size.height() * 2, char(0x80));
    const std::vector<unsigned char> rgb(std::size_t(size.width()) * size.height() * 3, 0x60);
    const std::unique_ptr<void, int (*)(tjhandle)> encoder(tjInitCompress(), tjDestroy);
    unsigned char *jpeg = nullptr;
    unsigned long length = 0;
    tjCompress2(encoder.get(), rgb.data(), size.width(), 0, size.height(), TJPF_RGB, &jpeg, &length,
                TJSAMP_420, 50, 0);
    QByteArray frame(reinterpret_cast<const char *>(jpeg), qsizetype(length));
    tjFree(jpeg);
    return frame;
}

int failWith(int error)
{
    errno = error;
    return -1;
}

} // namespace

RecordedNodes::RecordedNodes()
{
    V4l2Io::install(this);
}

RecordedNodes::~RecordedNodes()
{
    V4l2Io::install(nullptr);
    for (auto stream = streams.cbegin(); stream != streams.cend(); ++stream)
        ::close(stream.key());
}

void RecordedNodes::serve(const QString &path, const V4l2DeviceDescription &description)
{
    std::lock_guard lock(mutex);
    Node &node = nodes[path] = Node();
    node.description = description;
    for (const V4l2ControlInfo &control : description.controls)
        node.controls.insert(control.id, control.value);
}

void RecordedNodes::fail(const QString &path, unsigned long request, int error, int times,
                         int after)
{
    std::lock_guard lock(mutex);
    nodes[path].rules.push_back({request, error, times, after});
}

void RecordedNodes::clearFaults(const QString &path)
{
    std::lock_guard lock(mutex);
    nodes[path].rules.clear();
}

void RecordedNodes::stall(const QString &path)
{
    std::lock_guard lock(mutex);
    // Disarming the timer drops any period already due, so no frame comes until STREAMON.
    for (auto stream = streams.cbegin(); stream != streams.cend(); ++stream) {
        if (stream->path == path)
            setTimer(stream.key(), nullptr);
    }
}

int RecordedNodes::calls(const QString &path, unsigned long request) const
{
    std::lock_guard lock(mutex);
    return nodes.value(path).calls.value(request);
}

int RecordedNodes::fault(Node &node, unsigned long request)
{
    ++node.calls[request];
    for (Rule &rule : node.rules) {
        if (rule.request != request || rule.times == 0)
            continue;
        if (rule.after > 0) {
            --rule.after;
            return 0;
        }
        if (rule.times > 0)
            --rule.times;
        return rule.error;
    }
    return 0;
}

void RecordedNodes::setTimer(int descriptor, const V4l2FrameInterval *interval)
{
    itimerspec due{};
    if (interval) {
        const qint64 ns = qint64(interval->numerator) * 1000000000 / interval->denominator;
        due.it_value = due.it_interval = {time_t(ns / 1000000000), long(ns % 1000000000)};
    }
    ::timerfd_settime(descriptor, 0, &due, nullptr);
}

int RecordedNodes::open(const char *path, int)
{
    std::lock_guard lock(mutex);
    const auto node = nodes.find(QString::fromUtf8(path));
    if (node == nodes.end())
        return failWith(ENOENT);
    if (const int error = fault(*node, Open))
        return failWith(error);
    const int descriptor = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    streams[descriptor].path = node.key();
    return descriptor;
}

int RecordedNodes::close(int descriptor)
{
    std::lock_guard lock(mutex);
    streams.remove(descriptor);
    return ::close(descriptor);
}

void *RecordedNodes::mmap(std::size_t length, int descriptor, off_t offset)
{
    std::lock_guard lock(mutex);
    const std::size_t index = std::size_t(offset / BufferStride);
    std::vector<QByteArray> &buffers = streams.find(descriptor)->buffers;
    if (index >= buffers.size() || std::size_t(buffers[index].size()) < length) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return buffers[index].data();
}

int RecordedNodes::ioctl(int descriptor, unsigned long request, void *argument)
{
    std::lock_guard lock(mutex);
    const auto stream = streams.find(descriptor);
    if (stream == streams.end())
        return failWith(EBADF);
    Node &node = nodes[stream->path];
    if (const int error = fault(node, request))
        return failWith(error);
    const int error = serve(node, *stream, descriptor, request, argument);
    return error ? failWith(error) : 0;
}

int RecordedNodes::serve(Node &node, Stream &stream, int descriptor, unsigned long request,
                         void *argument)
{
    const V4l2DeviceDescription &description = node.description;
    const auto sizes = [&description](std::uint32_t fourcc) {
        for (const V4l2PixelFormat &format : description.formats) {
            if (format.fourcc == fourcc)
                return format.sizes;
        }
        return QList<V4l2FrameSize>();
    };
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *capability = static_cast<v4l2_capability *>(argument);
        copyText(capability->card, description.card);
        copyText(capability->driver, description.driver);
        copyText(capability->bus_info, description.busInfo);
        capability->device_caps = description.deviceCaps;
        capability->capabilities = description.deviceCaps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *query = static_cast<v4l2_fmtdesc *>(argument);
        if (query->index >= std::uint32_t(description.formats.size()))
            return EINVAL;
        query->pixelformat = description.formats[query->index].fourcc;
        copyText(query->description, description.formats[query->index].description);
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto *query = static_cast<v4l2_frmsizeenum *>(argument);
        const QList<V4l2FrameSize> offered = sizes(query->pixel_format);
        if (query->index >= std::uint32_t(offered.size()))
            return EINVAL;
        const QSize size = offered[query->index].size;
        query->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        query->discrete = {std::uint32_t(size.width()), std::uint32_t(size.height())};
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto *query = static_cast<v4l2_frmivalenum *>(argument);
        for (const V4l2FrameSize &offered : sizes(query->pixel_format)) {
            if (offered.size == QSize(int(query->width), int(query->height))
                && query->index < std::uint32_t(offered.intervals.size())) {
                const V4l2FrameInterval interval = offered.intervals[query->index];
                query->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                query->discrete = {interval.numerator, interval.denominator};
                return 0;
            }
        }
        return EINVAL;
    }
    case VIDIOC_QUERYCTRL: {
        auto *query = static_cast<v4l2_queryctrl *>(argument);
        const std::uint32_t after = query->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
        const V4l2ControlInfo *found = nullptr;
        for (const V4l2ControlInfo &info : description.controls) {
            if ((query->id & V4L2_CTRL_FLAG_NEXT_CTRL)
                        ? info.id > after && (!found || info.id < found->id)
                        : info.id == after)
                found = &info;
        }
        if (!found)
            return EINVAL;
        static constexpr std::uint32_t types[]
                = {V4L2_CTRL_TYPE_INTEGER, V4L2_CTRL_TYPE_BOOLEAN, V4L2_CTRL_TYPE_MENU,
                   V4L2_CTRL_TYPE_BUTTON, V4L2_CTRL_TYPE_STRING};
        *query = {};
        query->id = found->id;
        query->type = types[int(found->kind)];
        copyText(query->name, found->name);
        query->minimum = found->minimum;
        query->maximum = found->maximum;
        query->step = found->step;
        query->default_value = found->defaultValue;
        query->flags = found->writable ? 0 : V4L2_CTRL_FLAG_READ_ONLY;
        return 0;
    }
    case VIDIOC_QUERYMENU: {
        const auto *item = static_cast<v4l2_querymenu *>(argument);
        const V4l2ControlInfo *info = description.control(item->id);
        return info && info->menuItems.contains(int(item->index)) ? 0 : EINVAL;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
        auto *value = static_cast<v4l2_control *>(argument);
        const V4l2ControlInfo *info = description.control(value->id);
        if (!info || (request == VIDIOC_S_CTRL && !info->writable))
            return EINVAL;
        if (request == VIDIOC_S_CTRL)
            node.controls[value->id] = value->value;
        value->value = node.controls.value(value->id);
        return 0;
    }
    case VIDIOC_S_FMT: {
        v4l2_pix_format &pix = static_cast<v4l2_format *>(argument)->fmt.pix;
        if (sizes(pix.pixelformat).isEmpty())
            pix.pixelformat = description.formats.value(0).fourcc;
        stream.frame = frameFor(pix.pixelformat, QSize(int(pix.width), int(pix.height)));
        pix.bytesperline = pix.pixelformat == V4L2_PIX_FMT_YUYV ? pix.width * 2 : 0;
        pix.sizeimage = std::uint32_t(stream.frame.size());
        return 0;
    }
    case VIDIOC_S_PARM: {
        const v4l2_fract &interval
                = static_cast<v4l2_streamparm *>(argument)->parm.capture.timeperframe;
        stream.interval = {interval.numerator, interval.denominator};
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto *buffers = static_cast<v4l2_requestbuffers *>(argument);
        setTimer(descriptor, nullptr);
        stream.queued.clear();
        stream.buffers.assign(buffers->count, QByteArray(stream.frame.size(), 0));
        return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF: {
        auto *buffer = static_cast<v4l2_buffer *>(argument);
        if (request == VIDIOC_DQBUF) {
            std::uint64_t due = 0;
            if (stream.queued.empty() || ::read(descriptor, &due, sizeof due) < 0)
                return EAGAIN;
            buffer->index = stream.queued.front();
            stream.queued.pop_front();
            std::copy(stream.frame.cbegin(), stream.frame.cend(),
                      stream.buffers[buffer->index].begin());
            buffer->bytesused = std::uint32_t(stream.frame.size());
            buffer->flags = 0;
            return 0;
        }
        if (buffer->index >= stream.buffers.size())
            return EINVAL;
        if (request == VIDIOC_QBUF)
            stream.queued.push_back(buffer->index);
        buffer->length = std::uint32_t(stream.buffers[buffer->index].size());
        buffer->m.offset = std::uint32_t(buffer->index * BufferStride);
        return 0;
    }
    case VIDIOC_STREAMON:
        setTimer(descriptor, &stream.interval);
        return 0;
    case VIDIOC_STREAMOFF:
        setTimer(descriptor, nullptr);
        stream.queued.clear();
        return 0;
    default:
        return ENOTTY;
    }
}

#include "V4l2Device.h"

#include "DocCamTypes.h"
#include "V4l2Io.h"

#include <linux/videodev2.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>

static_assert(V4l2::CapVideoCapture == V4L2_CAP_VIDEO_CAPTURE);
static_assert(V4l2::CapMetaCapture == V4L2_CAP_META_CAPTURE);
static_assert(V4l2::CapStreaming == V4L2_CAP_STREAMING);

Q_LOGGING_CATEGORY(lcV4l2Device, "velora.doccam.v4l2.device", QtWarningMsg)

namespace {

// Enough for the decoder to work on one frame while the camera fills the others.
constexpr unsigned BufferCount = 4;

int retryingIoctl(int fd, unsigned long request, void *argument)
{
    int result;
    do {
        result = V4l2Io::current().ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

/// The library's code for a failed device call.
int codeForErrno(int error)
{
    switch (error) {
    case EBUSY:
    // uvcvideo answers ENOSPC when other cameras on the bus hold the USB bandwidth: like a
    // camera held by another application, it may work later.
    case ENOSPC:
        return DocCam::ErrorBusy;
    default:
        return DocCam::ErrorDevice;
    }
}

QString fixedString(const __u8 *text, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text),
                             qsizetype(strnlen(reinterpret_cast<const char *>(text), size)));
}

QList<V4l2FrameInterval> frameIntervals(int fd, std::uint32_t pixelFormat, QSize size)
{
    QList<V4l2FrameInterval> intervals;
    v4l2_frmivalenum query{};
    query.pixel_format = pixelFormat;
    query.width = std::uint32_t(size.width());
    query.height = std::uint32_t(size.height());
    for (query.index = 0; retryingIoctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &query) == 0;
         ++query.index) {
        if (query.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            intervals.append({query.discrete.numerator, query.discrete.denominator});
            continue;
        }
        // The shortest interval gives the top rate, the longest the bottom; the choice needs
        // no more than that.
        intervals.append({query.stepwise.min.numerator, query.stepwise.min.denominator});
        intervals.append({query.stepwise.max.numerator, query.stepwise.max.denominator});
        break;
    }
    return intervals;
}

QList<V4l2FrameSize> frameSizes(int fd, std::uint32_t pixelFormat)
{
    QList<V4l2FrameSize> sizes;
    v4l2_frmsizeenum query{};
    query.pixel_format = pixelFormat;
    for (query.index = 0; retryingIoctl(fd, VIDIOC_ENUM_FRAMESIZES, &query) == 0; ++query.index) {
        if (query.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            const QSize size(int(query.discrete.width), int(query.discrete.height));
            sizes.append({size, frameIntervals(fd, pixelFormat, size)});
            continue;
        }
        for (QSize size : {QSize(int(query.stepwise.min_width), int(query.stepwise.min_height)),
                           QSize(int(query.stepwise.max_width), int(query.stepwise.max_height))})
            sizes.append({size, frameIntervals(fd, pixelFormat, size)});
        break;
    }
    return sizes;
}

std::optional<V4l2ControlInfo> controlInfo(int fd, const v4l2_queryctrl &query)
{
    V4l2ControlInfo info;
    switch (query.type) {
    case V4L2_CTRL_TYPE_INTEGER:
        info.kind = V4l2ControlInfo::Kind::Integer;
        break;
    case V4L2_CTRL_TYPE_BOOLEAN:
        info.kind = V4l2ControlInfo::Kind::Boolean;
        break;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        info.kind = V4l2ControlInfo::Kind::Menu;
        break;
    case V4L2_CTRL_TYPE_BUTTON:
        info.kind = V4l2ControlInfo::Kind::Button;
        break;
    default:
        // Class headings, strings and compound controls carry nothing the library uses.
        return std::nullopt;
    }
    info.id = query.id;
    info.name = fixedString(query.name, sizeof query.name);
    info.minimum = query.minimum;
    info.maximum = query.maximum;
    info.step = std::max<int>(query.step, 1);
    info.defaultValue = query.default_value;
    info.value = query.default_value;
    info.writable = !(query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_DISABLED));

    if (info.kind == V4l2ControlInfo::Kind::Menu) {
        v4l2_querymenu item{};
        item.id = query.id;
        for (int index = query.minimum; index <= query.maximum; ++index) {
            item.index = std::uint32_t(index);
            if (retryingIoctl(fd, VIDIOC_QUERYMENU, &item) == 0)
                info.menuItems.append(index);
        }
    }
    if (info.kind != V4l2ControlInfo::Kind::Button && !(query.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
        v4l2_control current{};
        current.id = query.id;
        if (retryingIoctl(fd, VIDIOC_G_CTRL, &current) == 0)
            info.value = current.value;
    }
    return info;
}

} // namespace

V4l2Device::FileDescriptor &V4l2Device::FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    if (this != &other) {
        reset();
        fd = std::exchange(other.fd, -1);
    }
    return *this;
}

void V4l2Device::FileDescriptor::reset()
{
    if (fd >= 0)
        V4l2Io::current().close(fd);
    fd = -1;
}

V4l2Device::MappedBuffer::~MappedBuffer()
{
    if (start && start != MAP_FAILED)
        V4l2Io::current().munmap(start, length);
}

V4l2Device::~V4l2Device()
{
    close();
}

int V4l2Device::open(const QString &path)
{
    close();
    // Non-blocking, so that a dequeue never hangs on a camera that stopped sending; the wait
    // happens in poll() with a timeout instead.
    const int descriptor = V4l2Io::current().open(QFile::encodeName(path).constData(),
                                                  O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        failure = errno;
        qCDebug(lcV4l2Device) << "V4l2Device::open -" << path << strerror(failure);
        return codeForErrno(failure);
    }
    fd = FileDescriptor(descriptor);
    return DocCam::Ok;
}

void V4l2Device::close()
{
    stopStreaming();
    fd.reset();
}

int V4l2Device::ioctlResult(unsigned long request, void *argument) const
{
    if (!fd.isValid())
        return DocCam::ErrorDevice;
    if (retryingIoctl(fd.get(), request, argument) < 0)
        return codeForErrno(errno);
    return DocCam::Ok;
}

V4l2DeviceDescription V4l2Device::describe() const
{
    V4l2DeviceDescription description;
    if (!fd.isValid())
        return description;

    v4l2_capability capability{};
    if (retryingIoctl(fd.get(), VIDIOC_QUERYCAP, &capability) < 0)
        return description;
    description.card = fixedString(capability.card, sizeof capability.card);
    description.driver = fixedString(capability.driver, sizeof capability.driver);
    description.busInfo = fixedString(capability.bus_info, sizeof capability.bus_info);
    // Old drivers report only the whole device's capabilities.
    description.deviceCaps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
            ? capability.device_caps
            : capability.capabilities;
    if (!(description.deviceCaps & V4L2_CAP_VIDEO_CAPTURE))
        return description;

    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; retryingIoctl(fd.get(), VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        description.formats.append({format.pixelformat,
                                    fixedString(format.description, sizeof format.description),
                                    frameSizes(fd.get(), format.pixelformat)});
    }

    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    while (retryingIoctl(fd.get(), VIDIOC_QUERYCTRL, &query) == 0) {
        if (!(query.flags & V4L2_CTRL_FLAG_DISABLED)) {
            if (const std::optional<V4l2ControlInfo> info = controlInfo(fd.get(), query))
                description.controls.append(*info);
        }
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
    }
    return description;
}

std::optional<V4l2DeviceDescription> V4l2Device::probe(const QString &path)
{
    V4l2Device device;
    if (device.open(path) != DocCam::Ok)
        return std::nullopt;
    return device.describe();
}

int V4l2Device::startStreaming(const V4l2StreamFormat &format)
{
    stopStreaming();
    if (!fd.isValid()) {
        failure = EBADF;
        return DocCam::ErrorDevice;
    }

    v4l2_format pixFormat{};
    pixFormat.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    pixFormat.fmt.pix.width = std::uint32_t(format.size.width());
    pixFormat.fmt.pix.height = std::uint32_t(format.size.height());
    pixFormat.fmt.pix.pixelformat = format.pixelFormat;
    pixFormat.fmt.pix.field = V4L2_FIELD_ANY;
    if (const int result = streamIoctl(VIDIOC_S_FMT, &pixFormat); result != DocCam::Ok)
        return result;
    if (pixFormat.fmt.pix.pixelformat != format.pixelFormat) {
        failure = EINVAL;
        return DocCam::ErrorDevice;
    }
    negotiated = format;
    negotiated.size = QSize(int(pixFormat.fmt.pix.width), int(pixFormat.fmt.pix.height));
    bytesPerLine = int(pixFormat.fmt.pix.bytesperline);

    if (format.interval.numerator && format.interval.denominator) {
        v4l2_streamparm parameters{};
        parameters.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        parameters.parm.capture.timeperframe.numerator = format.interval.numerator;
        parameters.parm.capture.timeperframe.denominator = format.interval.denominator;
        // A camera that keeps its own rate still streams; the rate is a wish.
        if (ioctlResult(VIDIOC_S_PARM, &parameters) == DocCam::Ok
            && parameters.parm.capture.timeperframe.numerator) {
            negotiated.interval = {parameters.parm.capture.timeperframe.numerator,
                                   parameters.parm.capture.timeperframe.denominator};
        }
    }

    v4l2_requestbuffers request{};
    request.count = BufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (const int result = streamIoctl(VIDIOC_REQBUFS, &request); result != DocCam::Ok)
        return result;
    if (request.count < 2) {
        failure = ENOMEM;
        stopStreaming();
        return DocCam::ErrorDevice;
    }

    buffers.reserve(request.count);
    for (unsigned index = 0; index < request.count; ++index) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = index;
        if (const int result = streamIoctl(VIDIOC_QUERYBUF, &buffer); result != DocCam::Ok) {
            stopStreaming();
            return result;
        }
        void *start = V4l2Io::current().mmap(buffer.length, fd.get(), buffer.m.offset);
        if (start == MAP_FAILED) {
            failure = errno;
            stopStreaming();
            return DocCam::ErrorDevice;
        }
        buffers.emplace_back(start, buffer.length);
        if (const int result = requeue(index); result != DocCam::Ok) {
            stopStreaming();
            return result;
        }
    }

    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int result = streamIoctl(VIDIOC_STREAMON, &type); result != DocCam::Ok) {
        stopStreaming();
        return result;
    }
    streaming = true;
    return DocCam::Ok;
}

void V4l2Device::stopStreaming()
{
    if (!fd.isValid()) {
        buffers.clear();
        streaming = false;
        return;
    }
    if (streaming) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ioctlResult(VIDIOC_STREAMOFF, &type);
        streaming = false;
    }
    // The mappings must go before the buffers are freed, or REQBUFS answers EBUSY.
    const bool hadBuffers = !buffers.empty();
    buffers.clear();
    if (hadBuffers) {
        v4l2_requestbuffers request{};
        request.count = 0;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        ioctlResult(VIDIOC_REQBUFS, &request);
    }
}

int V4l2Device::streamIoctl(unsigned long request, void *argument)
{
    const int result = ioctlResult(request, argument);
    if (result != DocCam::Ok)
        failure = fd.isValid() ? errno : EBADF;
    return result;
}

int V4l2Device::requeue(unsigned index)
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return streamIoctl(VIDIOC_QBUF, &buffer);
}

V4l2Device::Ready V4l2Device::waitReadable(int descriptor, int wakeDescriptor,
                                           QDeadlineTimer deadline)
{
    // poll() rather than select(): a program with many files open hands out descriptors past
    // FD_SETSIZE, which select() cannot watch. A negative descriptor is skipped by poll().
    pollfd watched[2] = {{descriptor, POLLIN, 0}, {wakeDescriptor, POLLIN, 0}};
    for (;;) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0)
            return Ready::Timeout;
        const int ready = ::poll(watched, 2, int(std::min<qint64>(remaining, INT_MAX)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || ((watched[0].revents | watched[1].revents) & POLLNVAL))
            return Ready::Failed;
        if (ready == 0)
            return Ready::Timeout;
        if (watched[1].revents & POLLIN)
            return Ready::Woken;
        // Readable or in error alike: the dequeue tells which.
        return Ready::Device;
    }
}

V4l2Device::Wait V4l2Device::nextFrame(QImage &frame, int timeoutMs, QSize atLeast,
                                       int wakeDescriptor)
{
    if (!fd.isValid() || !streaming)
        return Wait::Gone;

    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
    for (;;) {
        switch (waitReadable(fd.get(), wakeDescriptor, deadline)) {
        case Ready::Device:
            break;
        case Ready::Timeout:
            return Wait::Timeout;
        case Ready::Failed:
            return Wait::Gone;
        case Ready::Woken:
            // Before the frame: whoever woke the wait (a still, a stop) is waiting for it,
            // and a frame that is ready stays queued for the next call.
            return Wait::Woken;
        }

        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        if (retryingIoctl(fd.get(), VIDIOC_DQBUF, &buffer) < 0) {
            const int error = errno;
            if (error == EAGAIN)
                continue;
            if (error == ENODEV)
                return Wait::Gone;
            // EIO and the like: let the caller's timeout handling reset the stream rather
            // than spin on a node that keeps failing.
            qCDebug(lcV4l2Device) << "V4l2Device::nextFrame - dequeue failed:" << strerror(error);
            return Wait::Timeout;
        }
        if (buffer.index >= buffers.size())
            continue;

        QImage decoded;
        if (!(buffer.flags & V4L2_BUF_FLAG_ERROR) && buffer.bytesused > 0) {
            const MappedBuffer &mapped = buffers[buffer.index];
            decoded = decoder.decode(negotiated.pixelFormat, mapped.data(),
                                     std::min<std::size_t>(buffer.bytesused, mapped.size()),
                                     negotiated.size, bytesPerLine, atLeast);
        }
        // The pixels are already copied out, so the buffer goes back to the camera at once.
        if (requeue(buffer.index) != DocCam::Ok && errno == ENODEV)
            return Wait::Gone;
        if (decoded.isNull())
            continue;
        frame = std::move(decoded);
        return Wait::Frame;
    }
}

int V4l2Device::setControl(std::uint32_t id, int value)
{
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return ioctlResult(VIDIOC_S_CTRL, &control);
}

std::optional<int> V4l2Device::control(std::uint32_t id) const
{
    v4l2_control control{};
    control.id = id;
    if (ioctlResult(VIDIOC_G_CTRL, &control) != DocCam::Ok)
        return std::nullopt;
    return control.value;
}

#pragma once

#include "V4l2DeviceDescription.h"
#include "V4l2FormatChoice.h"
#include "V4l2FrameDecoder.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

/// One open V4L2 node: its description, memory-mapped streaming and its controls. Not
/// thread-safe except that controls may be set from another thread while one thread streams.
class V4l2Device
{
public:
    enum class Wait { Frame, Timeout, Gone, Woken };
    enum class Ready { Device, Woken, Timeout, Failed };

    V4l2Device() = default;
    ~V4l2Device();
    V4l2Device(const V4l2Device &) = delete;
    V4l2Device &operator=(const V4l2Device &) = delete;

    /// Opens `path`: DocCam::Ok, DocCam::ErrorBusy or DocCam::ErrorDevice.
    int open(const QString &path);
    void close();
    bool isOpen() const { return fd.isValid(); }

    /// What the node offers, read with the node's ioctls. Needs an open node.
    V4l2DeviceDescription describe() const;
    /// Opens `path` just long enough to describe it; empty when it cannot be opened.
    static std::optional<V4l2DeviceDescription> probe(const QString &path);

    /// Negotiates `format` and starts streaming into mapped buffers. DocCam::Ok,
    /// DocCam::ErrorBusy when another application streams from the camera (or holds the USB
    /// bandwidth), DocCam::ErrorDevice otherwise.
    int startStreaming(const V4l2StreamFormat &format);
    void stopStreaming();
    bool isStreaming() const { return streaming; }
    /// The errno of the last open() or startStreaming() that failed, for the log.
    int lastError() const { return failure; }
    /// The format the driver agreed to, which may differ in size from the one asked for.
    V4l2StreamFormat negotiatedFormat() const { return negotiated; }

    /// Waits up to `timeoutMs` for a good frame and decodes it. Buffers the driver flags as
    /// damaged and frames that do not decode are skipped within the same wait. Answers
    /// Wait::Woken as soon as `wakeDescriptor` (see V4l2WakeEvent) is readable, leaving it so.
    Wait nextFrame(QImage &frame, int timeoutMs, QSize atLeast = {}, int wakeDescriptor = -1);

    /// Waits until `deadline` for `descriptor` to be readable or failed, or for `wakeDescriptor`
    /// (-1: none) to be readable; a wake wins over a device that is ready too.
    static Ready waitReadable(int descriptor, int wakeDescriptor, QDeadlineTimer deadline);

    /// DocCam::Ok, DocCam::ErrorBusy or DocCam::ErrorDevice.
    int setControl(std::uint32_t id, int value);
    std::optional<int> control(std::uint32_t id) const;

private:
    class FileDescriptor
    {
    public:
        FileDescriptor() = default;
        explicit FileDescriptor(int fd)
            : fd(fd)
        { }
        ~FileDescriptor() { reset(); }
        FileDescriptor(FileDescriptor &&other) noexcept
            : fd(std::exchange(other.fd, -1))
        { }
        FileDescriptor &operator=(FileDescriptor &&other) noexcept;
        int get() const { return fd; }
        bool isValid() const { return fd >= 0; }
        void reset();

    private:
        int fd = -1;
    };

    class MappedBuffer
    {
    public:
        MappedBuffer(void *start, std::size_t length)
            : start(start)
            , length(length)
        { }
        ~MappedBuffer();
        MappedBuffer(MappedBuffer &&other) noexcept
            : start(std::exchange(other.start, nullptr))
            , length(std::exchange(other.length, 0))
        { }
        MappedBuffer &operator=(MappedBuffer &&) = delete;
        const uchar *data() const { return static_cast<const uchar *>(start); }
        std::size_t size() const { return length; }

    private:
        void *start;
        std::size_t length;
    };

    int ioctlResult(unsigned long request, void *argument) const;
    /// ioctlResult() that keeps the errno of a failure in `failure`.
    int streamIoctl(unsigned long request, void *argument);
    int requeue(unsigned index);

    FileDescriptor fd;
    std::vector<MappedBuffer> buffers;
    bool streaming = false;
    V4l2StreamFormat negotiated;
    int bytesPerLine = 0;
    int failure = 0;
    V4l2FrameDecoder decoder;
};

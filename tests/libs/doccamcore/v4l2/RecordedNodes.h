#pragma once

#include <v4l2/V4l2DeviceDescription.h>
#include <v4l2/V4l2Io.h>

#include <QHash>
#include <QMap>

#include <deque>
#include <mutex>
#include <vector>

/// Plays cameras from their recorded descriptions behind V4l2Device while it lives: the
/// enumerations, controls (kept per node), format negotiation and memory-mapped streaming, with
/// a flat frame due at the negotiated rate on a timer descriptor that poll() sees. Chosen calls
/// fail with a chosen errno, and a node can stall. Paths it does not serve do not exist.
class RecordedNodes final : public V4l2Io
{
public:
    /// The request that stands for open() in fail() and calls().
    static constexpr unsigned long Open = 0;

    RecordedNodes();
    ~RecordedNodes() override;

    void serve(const QString &path, const V4l2DeviceDescription &description);
    /// Once `after` more calls of `request` on `path` have succeeded, the next `times` fail with
    /// `error` (-1: every one until clearFaults()).
    void fail(const QString &path, unsigned long request, int error, int times = -1, int after = 0);
    void clearFaults(const QString &path);
    /// No frame comes from `path` until its stream is started again.
    void stall(const QString &path);
    /// How often `request` was made on `path`, failed or not.
    int calls(const QString &path, unsigned long request) const;

    int open(const char *path, int flags) override;
    int close(int descriptor) override;
    int ioctl(int descriptor, unsigned long request, void *argument) override;
    void *mmap(std::size_t length, int descriptor, off_t offset) override;
    /// The memory is the stream's own and goes with its buffers.
    int munmap(void *, std::size_t) override { return 0; }

private:
    struct Rule
    {
        unsigned long request;
        int error, times, after;
    };
    struct Node
    {
        V4l2DeviceDescription description;
        QMap<std::uint32_t, int> controls;
        std::vector<Rule> rules;
        QHash<unsigned long, int> calls;
    };
    /// One open descriptor of a node, which is a timerfd.
    struct Stream
    {
        QString path;
        V4l2FrameInterval interval;
        QByteArray frame;
        std::vector<QByteArray> buffers;
        std::deque<unsigned> queued;
    };

    /// Counts the call and answers the errno of the rule that fails it, or 0.
    static int fault(Node &node, unsigned long request);
    int serve(Node &node, Stream &stream, int descriptor, unsigned long request, void *argument);
    static void setTimer(int descriptor, const V4l2FrameInterval *interval);

    mutable std::mutex mutex;
    QHash<QString, Node> nodes;
    QHash<int, Stream> streams;
};

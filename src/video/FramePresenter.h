#pragma once

#include <QImage>
#include <QtGlobal>

#include <array>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class FrameQueue;
class MediaClock;
class VideoFrameSink;
struct SwsContext;

/// The presenter thread of a MediaService: takes each decoded picture when the clock reaches
/// its time, converts it with libswscale straight into a QImage of the sink's size and hands it
/// over. A picture whose successor is already due is dropped unconverted and counted, so that a
/// machine too slow for the file keeps the picture in time with the sound.
///
/// It is a thread of its own so that waiting for a picture's time never holds up the decode
/// thread, which must keep the sound flowing meanwhile.
class FramePresenter
{
public:
    FramePresenter(FrameQueue &frames, MediaClock &clock);
    /// Stops and joins the thread.
    ~FramePresenter();

    /// Null detaches; returns once no call into the previous sink is under way.
    void setSink(VideoFrameSink *sink);
    /// True when every picture of `serial` has been shown or dropped and the file has ended.
    bool finished(quint64 serial) const;
    /// Pictures dropped because they were late.
    quint64 droppedCount() const { return dropped.load(); }
    /// Makes a waiting presenter look at the clock and the queue again at once.
    void wake();
    /// Shows the first picture of `serial` without waiting for the clock: a seek while paused
    /// must show where it went.
    void showFirstAtOnce(quint64 serial);

private:
    void run();
    void waitUntilDue(qint64 ptsUs, quint64 serial);
    void show(struct AVFrame *frame, qint64 ptsUs);

    FrameQueue &frames;
    MediaClock &clock;

    std::mutex sinkMutex;
    VideoFrameSink *sink = nullptr;
    SwsContext *scaler = nullptr;
    // The last pictures handed over, shared with the sink until it lets them go.
    std::array<QImage, 3> recycled;

    mutable std::mutex waitMutex;
    std::condition_variable woken;
    bool stopping = false;
    std::atomic<quint64> dropped{0};
    // The serial whose first picture is shown without waiting for the clock.
    std::atomic<quint64> previewSerial{~quint64(0)};
    // The serial the presenter thread last showed a picture of.
    quint64 shownSerial = ~quint64(0);

    std::thread thread;
};

#include "FramePresenter.h"

#include "FrameQueue.h"
#include "MediaClock.h"
#include "VideoFrameSink.h"

#include <FfmpegHandles.h>

#include <QImage>

#include <algorithm>
#include <chrono>

namespace {

// Longest sleep between two looks at the clock: a pause, a resume or a seek is seen within it
// even without a wake-up.
constexpr qint64 LongestWaitUs = 20000;
// A picture is dropped only when even its successor is this late: a thread held up for a moment
// catches up by showing the next pictures at once, a machine too slow for the file by dropping.
constexpr qint64 DropLatenessUs = 120000;

} // namespace

FramePresenter::FramePresenter(FrameQueue &frames, MediaClock &clock)
    : frames(frames)
    , clock(clock)
    , thread([this] { run(); })
{ }

FramePresenter::~FramePresenter()
{
    {
        std::lock_guard lock(waitMutex);
        stopping = true;
    }
    woken.notify_all();
    frames.abort();
    thread.join();
    sws_freeContext(scaler);
}

void FramePresenter::setSink(VideoFrameSink *newSink)
{
    std::lock_guard lock(sinkMutex);
    sink = newSink;
}

bool FramePresenter::finished(quint64 serial) const
{
    return frames.drained(serial);
}

void FramePresenter::wake()
{
    woken.notify_all();
}

void FramePresenter::showFirstAtOnce(quint64 serial)
{
    previewSerial = serial;
    wake();
}

void FramePresenter::run()
{
    for (;;) {
        {
            std::lock_guard lock(waitMutex);
            if (stopping)
                return;
        }
        FrameQueue::Entry entry;
        if (!frames.pop(&entry, int(LongestWaitUs / 1000)))
            continue;
        FramePtr frame(entry.frame);
        waitUntilDue(entry.ptsUs, entry.serial);
        if (frames.serial() == entry.serial) {
            // The first picture after a start or a seek is always shown, so that the new
            // position appears even when the clock has already passed it.
            const qint64 next = frames.nextPts();
            const qint64 now = clock.now();
            if (shownSerial == entry.serial && next >= 0 && now - next > DropLatenessUs) {
                dropped.fetch_add(1);
            } else {
                show(frame.get(), entry.ptsUs);
                shownSerial = entry.serial;
            }
        }
        frame.reset();
        frames.done();
    }
}

void FramePresenter::waitUntilDue(qint64 ptsUs, quint64 serial)
{
    std::unique_lock lock(waitMutex);
    for (;;) {
        if (stopping || frames.serial() != serial)
            return;
        if (serial == previewSerial.load() && shownSerial != serial)
            return;
        // A clock that does not tick shows nothing new: after the rewind at the end of the file
        // the widget is cleared and the first picture must not come back into it, and after a
        // start or a seek the picture waits for its sound.
        const qint64 early = clock.isTicking() ? ptsUs - clock.now() : LongestWaitUs;
        if (early <= 0)
            return;
        woken.wait_for(lock, std::chrono::microseconds(std::min(early, LongestWaitUs)));
    }
}

void FramePresenter::show(AVFrame *frame, qint64 ptsUs)
{
    std::lock_guard lock(sinkMutex);
    if (!sink)
        return;
    QSize size = sink->targetSize();
    if (size.isEmpty())
        size = QSize(frame->width, frame->height);
    scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format),
                                  size.width(), size.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR,
                                  nullptr, nullptr, nullptr);
    if (!scaler)
        return;
    // swscale writes straight into the image's own buffer, which the sink then keeps. A buffer
    // the sink has let go of since is written again: a fresh one per picture would cost a
    // zeroed allocation from the kernel each time.
    QImage image;
    for (QImage &kept : recycled) {
        if (kept.size() == size && kept.isDetached()) {
            image = std::move(kept);
            break;
        }
    }
    if (image.isNull())
        image = QImage(size, QImage::Format_RGB32);
    if (image.isNull())
        return;
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    std::rotate(recycled.begin(), recycled.begin() + 1, recycled.end());
    recycled.back() = image;
    sink->deliverFrame(std::move(image), ptsUs / 1000);
}

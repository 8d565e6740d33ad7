#pragma once

#include "CameraDevice.h"
#include "SimulatedCameras.h"

#include <QElapsedTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

/// A camera drawn in software: a page of text with a moving marker, a clock and the current
/// parameters, so that every control shows in the picture.
class SimulatedCamera : public CameraDevice
{
public:
    SimulatedCamera(DocCamManager *manager, const QString &key,
                    const SimulatedCameras::Setup &setup, int number);

    std::uint32_t featureBits() const override { return setup.featureBits; }
    std::uint32_t inputBits() const override { return setup.inputBits; }

    void setBusy(bool busy) { this->busy = busy; }
    /// How long each start takes; a start already waiting sees the new time.
    void setStartDelay(int ms);
    bool isStarting() const;

    /// Draws one picture of `size` as the camera sees it now; `tick` moves the marker.
    QImage render(QSize size, qint64 tick) const;

protected:
    int openCapture(const DocCam::VideoFormat &format) override;
    void closeCapture() override;
    GrabResult grabFrame(QImage &frame, int timeoutMs) override;
    void wakeCapture() override;
    QImage grabStill() override;
    bool stillWillArrive() const override { return !setup.stillsNeverArrive; }
    int applyControl(Control control, int value) override;
    std::uint32_t hardwareCapabilities() const override;
    DocCam::VideoFormat liveFormat() const override;
    QSize stillSize() const override;

private:
    class FrameBuffers;

    /// The page without the moving parts, redrawn only when the picture parameters change.
    QImage page(QSize size) const;
    /// Sleeps `ms` unless wakeCapture() is or was called; true when woken.
    bool sleepUnlessWoken(qint64 ms);
    /// Holds a start until its delay has passed.
    void waitOutStartDelay();

    const SimulatedCameras::Setup setup;
    std::atomic<bool> busy;
    QSize streamSize;
    QElapsedTimer clock;
    qint64 framesDelivered = 0;

    mutable std::mutex startMutex;
    std::condition_variable startDelayChanged;
    int startDelayMs = 0;
    int startsWaiting = 0;

    std::mutex wakeMutex;
    std::condition_variable wakeSignal;
    bool wakeRequested = false;

    struct CachedPage
    {
        quint64 key = 0;
        QImage image;
    };
    mutable std::mutex pageMutex;
    // One page per size drawn, most recently used first: live frames and stills each keep
    // theirs, so a still does not have to redraw its page after every live frame.
    mutable std::vector<CachedPage> cachedPages;
    // Where stills and live frames are drawn; shared with the pictures they lend, which may
    // outlive the camera. The live pool is replaced when a stream of another size opens.
    const std::shared_ptr<FrameBuffers> stillBuffers;
    std::shared_ptr<FrameBuffers> liveBuffers;
};

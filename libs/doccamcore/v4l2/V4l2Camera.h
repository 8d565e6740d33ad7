#pragma once

#include "CameraDevice.h"
#include "V4l2ControlMap.h"
#include "V4l2ControlQueue.h"
#include "V4l2DeviceDescription.h"
#include "V4l2FormatChoice.h"
#include "V4l2WakeEvent.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <mutex>

class V4l2Device;

/// A USB camera driven through its V4L2 node. The formats and controls are those the node
/// reported when it was found; CameraDevice does in software whatever they lack.
///
/// A stream that stalls, or that cannot return to live size after a still, is reopened on the
/// capture thread a few times (V4l2RecoveryTiming). When that fails the stream ends as for an
/// unplugged camera and `lost` is called, on the capture thread, for the backend to report it.
class V4l2Camera final : public CameraDevice
{
public:
    V4l2Camera(DocCamManager *manager, Identity identity, V4l2DeviceDescription description,
               std::function<void(V4l2Camera *)> lost = {});

protected:
    ~V4l2Camera() override;

    int openCapture(const DocCam::VideoFormat &format) override;
    void closeCapture() override;
    GrabResult grabFrame(QImage &frame, int timeoutMs) override;
    void wakeCapture() override;
    QImage grabStill() override;
    int applyControl(Control control, int value) override;
    std::uint32_t hardwareCapabilities() const override;
    DocCam::VideoFormat liveFormat() const override;
    QSize stillSize() const override;
    /// The controls' default values from the description.
    Parameters defaultParameters() const override;

private:
    /// The parameter cache with the device's current values in place of its defaults.
    Parameters parametersFrom(const V4l2ControlMap::Levels &levels) const;
    /// Opens the node and starts it streaming at `streamFormat`; null when it would not, with
    /// the library's code in `result` and the errno in `error`.
    std::unique_ptr<V4l2Device> openStreaming(int &result, int &error) const;
    bool recovering() const { return recoveryAttempt >= 0; }
    void beginRecovery(const QString &why);
    /// One step of the recovery: waits for the next attempt (cut short by a wake), or makes it.
    GrabResult recover(int timeoutMs);
    /// Ends the recovery: the stream ends as for an unplugged camera and `lost` is called.
    GrabResult giveUp(int attempts, const QString &why);
    /// Waits for one good frame, giving up after `timeoutMs`.
    QImage waitForFrame(int timeoutMs);
    /// Carries out `writes` on the node, opening it for the moment when no stream has it open;
    /// on the control queue's thread.
    void writeControls(const QList<V4l2ControlMap::Write> &writes);

    const V4l2DeviceDescription description;
    const V4l2ControlMap controls;
    const V4l2StreamFormat live;
    const V4l2StreamFormat still;

    /// Guards `device` being opened and closed against control calls from other threads. The
    /// capture thread streams without it: the device is only closed after that thread ends.
    std::mutex deviceMutex;
    std::unique_ptr<V4l2Device> device;
    V4l2StreamFormat streamFormat;
    QElapsedTimer sinceLastFrame;
    // The recovery's state, on the capture thread: the attempts made (-1 when not recovering)
    // and when the next one is due.
    int recoveryAttempt = -1;
    /// Reopens that succeeded since the last frame arrived.
    int reopenedWithoutFrame = 0;
    QDeadlineTimer nextAttempt;
    const std::function<void(V4l2Camera *)> lost;
    // Lives as long as the camera, so that waking needs no lock on `device`.
    V4l2WakeEvent wake;
    // Last, so that it ends first: its writes use everything above.
    V4l2ControlQueue controlWrites;
};

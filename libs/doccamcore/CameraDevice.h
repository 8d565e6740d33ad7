#pragma once

#include "FrameProcessor.h"
#include "KivoDocCam.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CameraSettingsStore;
class DocCamManager;
class DocCamParametersListener;

/// What every camera of the library shares, whatever drives it: reference counting, the
/// parameter cache and its listener, the settings remembered for the camera, the capture thread
/// with its paint-paced delivery, the software versions of controls the device lacks, and
/// high-quality stills.
///
/// A backend derives from it and supplies the device itself through the protected hooks. The
/// control object openStream() hands out forwards to the stream operations below.
class CameraDevice : public KivoDocCam
{
public:
    struct Identity
    {
        QString key; ///< unique per attached device: the device node, or "sim:<n>"
        QString modelName;
        quint16 vendorId = 0;
        quint16 productId = 0;
        quint32 locationId = 0;
        bool documentCamera = false;
        /// The USB serial number; empty when the device has none.
        QString serialNumber;
    };

    /// The controls a backend may carry out in hardware (applyControl()).
    enum class Control {
        Brightness, ///< 0-100
        Contrast, ///< 0-100
        Exposure, ///< 0-100
        AutoExposure, ///< 0/1
        AutoWhiteBalance, ///< 0/1
        RedGain, ///< 0-100
        BlueGain, ///< 0-100
        Focus, ///< 0-100, 0 nearest
        AutoFocus, ///< 1 runs one automatic focus
        Zoom, ///< ratio × 100, from 100
        Rotation, ///< degrees
        Mirror, ///< 0/1
        ColorEffect, ///< DocCam::ColorEffect*
        CameraMode, ///< DocCam::Mode*
        ModeFlag, ///< 0/1
        AutoImage, ///< 0/1
    };

    CameraDevice(DocCamManager *manager, Identity identity);

    QString key() const { return identity.key; }

    /// The device has gone: a running stream reports DocCam::ErrorFrame and stops; every later
    /// call answers DocCam::ErrorDevice.
    void markGone();
    bool isGone() const { return gone; }

    // KivoDocCam
    void addRef() override;
    void release() override;
    QString modelName() const override { return identity.modelName; }
    quint16 vendorId() const override { return identity.vendorId; }
    quint16 productId() const override { return identity.productId; }
    quint32 locationId() const override { return identity.locationId; }
    bool isDocumentCamera() const override { return identity.documentCamera; }
    int getCurrentVideoFormat(DocCam::VideoFormat &format) const override;
    int openStream(const DocCam::VideoFormat &format, QImageFrameGrabber *grabber,
                   DocCamControl **control) override;
    int grabCurrentFrame(QImage &image) override;
    bool isHQImageSupported() const override;
    int requestHQImage() override;
    void installHQImageGrabber(QImageHQImageGrabber *grabber) override;
    void removeHQImageGrabber(QImageHQImageGrabber *grabber) override;
    void installParametersListener(DocCamParametersListener *listener) override;
    void removeParametersListener(DocCamParametersListener *listener) override;
    int brightness() const override;
    int contrast() const override;
    double zoomRatio() const override;
    unsigned rotation() const override;
    bool mirror() const override;
    bool freeze() const override;
    bool autoWhiteBalance() const override;
    bool autoExposure() const override;
    int exposure() const override;
    bool autoImage() const override;
    int colorEffect() const override;
    int cameraMode() const override;
    bool modeFlag() const override;
    int focus() const override;
    unsigned redGain() const override;
    unsigned blueGain() const override;
    std::uint32_t capabilities() const override;
    std::uint32_t softwareCapabilities() const override;
    /// Bit 0x01: the camera focuses itself on request.
    std::uint8_t capabilityByte() const override;
    std::uint32_t featureBits() const override { return 0; }
    std::uint32_t inputBits() const override { return 0; }

    // The stream, through the control object (see DocCamControl)
    int start();
    int stop();
    /// Stops the stream and forgets its grabber.
    void closeStream();
    void framePainted();
    void setDisplaySize(QSize size);
    int setBrightness(int value);
    int setContrast(int value);
    int setRotation(unsigned degrees);
    int setMirror(bool on);
    int setFreeze(bool on);
    int setColorEffect(int cameraValue);
    int setCameraMode(int modeNumber);
    int setModeFlag(bool on);
    int setAutoWhiteBalance(bool on);
    int setAutoExposure(bool on);
    int setAutoImage(bool on);
    int autoFocus();
    int focusFar();
    int focusNear();
    int zoomIn();
    int zoomOut();
    int zoomReset();
    int brightnessUp();
    int brightnessDown();
    int contrastUp();
    int contrastDown();
    int exposureUp();
    int exposureDown();
    int redGainUp();
    int redGainDown();
    int blueGainUp();
    int blueGainDown();
    /// Returns the remembered controls to the camera's defaults and forgets what was
    /// remembered for it.
    int resetToDefaults();

    /// Steps of the relative controls.
    static constexpr int LevelStep = 5;
    static constexpr double ZoomStep = 1.25;
    static constexpr double MaxZoom = 8.0;

protected:
    ~CameraDevice() override;

    enum class GrabResult { Frame, Timeout, Gone };

    // ---- Backend hooks ----

    /// Opens the device and starts it streaming at `format`, on the caller's thread.
    /// DocCam::Ok, DocCam::ErrorBusy when another application holds it, or another failure.
    virtual int openCapture(const DocCam::VideoFormat &format) = 0;
    /// Stops streaming and closes the device; called on the caller's thread after the capture
    /// thread has ended.
    virtual void closeCapture() = 0;
    /// On the capture thread: waits up to `timeoutMs` for the next frame.
    virtual GrabResult grabFrame(QImage &frame, int timeoutMs) = 0;
    /// On the capture thread, with the capture open: one still at stillSize() (switching the
    /// device to that size and back if it must). A null image when it failed.
    virtual QImage grabStill() = 0;
    /// From any thread: makes the grabFrame() waiting on the capture thread, or else the next
    /// one, return GrabResult::Timeout at once, so that a still request or a stop is served
    /// without waiting for the next frame. The frame that was awaited stays due when it was.
    /// The default does nothing; requests then wait for the next frame or the timeout.
    virtual void wakeCapture() { }
    /// False when a requested still will never come (a camera that swallows the request); the
    /// library then delivers nothing, as such a camera would.
    virtual bool stillWillArrive() const { return true; }
    /// Carries out `control` in hardware. DocCam::Ok, DocCam::Tuning, or
    /// DocCam::ErrorUnsupported to have the library do it in software where it can.
    virtual int applyControl(Control control, int value) = 0;
    /// The DocCam::Capability bits the device offers itself.
    virtual std::uint32_t hardwareCapabilities() const = 0;
    /// The live format (largest size, highest rate).
    virtual DocCam::VideoFormat liveFormat() const = 0;
    /// The size of high-quality stills; empty when the camera has none larger than live.
    virtual QSize stillSize() const = 0;

    /// Reports the end of tuning to the listener (from any thread).
    void reportTuningEnded();
    /// Reports an input-bit change to the listener (from any thread).
    void reportInputBits(unsigned bits);

    /// The parameter cache, for backends that read the device's values when it opens.
    struct Parameters
    {
        int brightness = 50;
        int contrast = 50;
        int exposure = 50;
        int focus = 50;
        unsigned redGain = 50;
        unsigned blueGain = 50;
        double zoomRatio = 1.0;
        unsigned rotation = 0;
        bool mirror = false;
        bool freeze = false;
        bool autoWhiteBalance = true;
        bool autoExposure = true;
        bool autoImage = false;
        int colorEffect = DocCam::ColorEffectColor;
        int cameraMode = DocCam::ModeNormal;
        bool modeFlag = false;
    };
    void setInitialParameters(const Parameters &parameters);
    /// The values resetToDefaults() returns to; by default those a camera starts with.
    virtual Parameters defaultParameters() const { return {}; }
    Parameters parametersSnapshot() const;
    /// The size, in device pixels, that delivered frames are shown at (see
    /// DocCamControl::setDisplaySize), turned and enlarged for the software rotation and zoom;
    /// empty for whole frames. A backend that can decode at a reduced size shrinks larger frames
    /// to fit in it. Called by the backend for each frame it is about to decode.
    QSize displaySize() const;
    /// False while a frame would be dropped anyway (the consumer is still painting the last one,
    /// or the picture is frozen): a backend may then skip decoding the frame it dequeues.
    bool frameWanted() const;
    /// The manager that reported this camera; its post() runs work on the event thread.
    DocCamManager *manager() const;
    /// Moves the focus (0 nearest to 100 farthest) and tells the listener; for a backend whose
    /// automatic focus settles on a new position, which is not remembered.
    int setFocus(int position);

private:
    void captureLoop();
    void deliverStill();
    /// The software processing of the current parameters; called with the mutex held.
    FrameProcessor::Settings processingSettings() const;
    /// Tells the listener, on the manager's event thread.
    void notify(std::function<void(DocCamParametersListener *)> call);
    /// Applies a control in hardware or software, caches it and tells the listener.
    template<typename T, typename Notify>
    int change(Control control, int deviceValue, T Parameters::*field, T value, Notify notify);
    /// Where the presenter's settings of this camera are kept; null without a manager.
    CameraSettingsStore *settingsStore() const;
    QString settingsKey() const;
    /// Notes a successful change of `control` to `level` for the next time the camera opens.
    void remember(Control control, int level);
    /// Sets what was remembered for this camera through the normal change path.
    void applyRememberedSettings();
    /// Sets one remembered control to a level through its setter.
    int setLevel(Control control, int level);
    /// Moves the focus as the presenter asked.
    int moveFocus(int position);
    int setZoom(double ratio);
    int setExposure(int value);
    int setRedGain(int value);
    int setBlueGain(int value);

    struct Private;
    const Identity identity;
    std::unique_ptr<Private> d;
    std::atomic<bool> gone{false};
    friend struct Private;
};

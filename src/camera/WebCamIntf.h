#pragma once

#include <ResultCode.h>

#include <QList>
#include <QObject>
#include <QString>

class CameraWidget;
class QWidget;

/// Result codes of the webcam component beyond the common ones.
namespace WebCamResult {
/// The index names no attached webcam.
constexpr ResultCode OutOfRange = -1001;
} // namespace WebCamResult

/// The webcams shown beside the document camera: a main webcam for the split and
/// picture-in-picture layouts and an optional auxiliary one. It names the attached webcams for
/// the user, remembers the main webcam the user chose, retries a webcam that another application
/// holds and announces webcams coming and going.
///
/// Operations answer 0 on success, the codes in WebCamResult, Result::Failure, or a negative
/// code of the camera library (DocCam::ErrorBusy while another application holds the camera,
/// in which case the selection is retried every 2 seconds).
class WebCamIntf : public QObject
{
    Q_OBJECT

public:
    /// The shared component, created with its main view as a child of `parent` on first use.
    static WebCamIntf *getInstance(QWidget *parent = nullptr);

    virtual void release() = 0;

    virtual CameraWidget *mainView() = 0;
    /// Null until createAuxView() and after closeAuxCamera().
    virtual CameraWidget *auxView() = 0;
    /// The auxiliary view, created as a child of `parent` unless it exists already.
    virtual CameraWidget *createAuxView(QWidget *parent) = 0;

    /// Shows the main view and, if the display was off, connects the preferred webcam.
    virtual void switchDisplayOn() = 0;
    /// Hides the main view and lets the main webcam go.
    virtual void switchDisplayOff() = 0;
    virtual bool isDisplayOn() = 0;

    virtual int cameraCount() = 0;
    /// The attached webcams as the user sees them, in arrival order; equal model names are
    /// numbered ("Cam #1", "Cam #2").
    virtual QList<QString> cameraNames() = 0;
    /// Positions in cameraNames(), -1 when no camera is chosen.
    virtual int mainCameraIndex() = 0;
    virtual int auxCameraIndex() = 0;

    /// Chooses the main webcam and remembers it as the user's preference.
    virtual ResultCode selectMainCamera(int index) = 0;
    /// Chooses the auxiliary webcam; Result::Failure without an auxiliary view.
    virtual ResultCode selectAuxCamera(int index) = 0;
    /// Lets the auxiliary webcam go and deletes its view.
    virtual void closeAuxCamera() = 0;

Q_SIGNALS:
    void webCamListChanged(QList<QString> webCamList);
    /// The main webcam was unplugged.
    void currentWebCamDisconnected();
    /// The auxiliary webcam was unplugged.
    void currentAuxWebCamDisconnected();
};

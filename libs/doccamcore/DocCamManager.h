#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>

class DocCamManagerEventListener;
class KivoDocCam;
class CameraBackend;
class CameraDevice;
class CameraSettingsStore;

/// Finds cameras and reports them coming and going.
///
/// getDocCamManager() with an empty map gives the document-camera manager; with
/// {"kind": "webcam"} the webcam manager. Each is shared and reference counted.
///
/// The backend is chosen here: with VELORA_SIMULATED_CAMERAS set (even empty) only simulated
/// cameras exist (see SimulatedCameras), otherwise V4L2 devices watched through udev.
/// Events reach listeners on the manager's own event thread, in the order they happened.
class DocCamManager
{
public:
    static DocCamManager *getDocCamManager(const QMap<QString, QString> &parameters);

    void addRef();
    void release();

    void registerEventListener(DocCamManagerEventListener *listener);
    void unregisterEventListener(DocCamManagerEventListener *listener);

    /// Starts watching: every attached camera is reported as added, then every change.
    int start();
    int stop();

    /// The attached cameras, in arrival order (no references are taken).
    QList<KivoDocCam *> cameras() const;

    /// Whether this manager reports document cameras or webcams.
    bool isDocumentCameraManager() const;

    /// The presenter's settings of the cameras, written on the event thread. For the library's
    /// own use.
    /// Cameras keep it, since they may outlive the manager.
    std::shared_ptr<CameraSettingsStore> settingsStore() const;

    /// Runs `task` on the manager's event thread after `delayMs`. For the library's own use.
    void post(std::function<void()> task, int delayMs = 0);

    /// The backend, for the library's own use on the event thread.
    CameraBackend *backend() const;

    /// Called by backends, on any thread.
    void cameraArrived(CameraDevice *camera);
    void cameraLeft(CameraDevice *camera);

    /// Blocks until every event due so far, and every event those caused, has reached the
    /// listeners. For tests.
    void waitForIdle();

private:
    explicit DocCamManager(bool documentCameras);
    ~DocCamManager();

    struct Private;
    std::unique_ptr<Private> d;
};

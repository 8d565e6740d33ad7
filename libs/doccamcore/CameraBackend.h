#pragma once

class DocCamManager;

/// A source of cameras behind a DocCamManager: V4L2 devices or simulated cameras. The manager
/// owns its backend and calls it on the manager's event thread.
class CameraBackend
{
public:
    virtual ~CameraBackend() = default;

    /// Reports every camera present now through DocCamManager::cameraArrived() and begins
    /// watching for changes.
    virtual void start(DocCamManager *manager) = 0;
    /// Stops watching. Cameras already reported stay until the manager drops them.
    virtual void stop() = 0;

    /// A file descriptor the manager's event thread polls for the backend (a udev monitor),
    /// or -1 for none; onReadable() is called when it is readable.
    virtual int pollDescriptor() const { return -1; }
    virtual void onReadable() { }
};

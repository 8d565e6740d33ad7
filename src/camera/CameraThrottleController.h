#pragma once

class CameraWidget;

/// Paces a camera to its view: the camera delivers the next frame only when told that the view
/// has drawn the last one, so a busy GUI gets fewer, fresher frames instead of a backlog.
class CameraThrottleController
{
public:
    virtual ~CameraThrottleController() = default;

    /// The view has finished painting. Called on the GUI thread after every paint, with the
    /// painter already closed.
    virtual void framePainted(CameraWidget *view) = 0;
};

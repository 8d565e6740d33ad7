#pragma once

class CameraWidget;

/// Told by a camera view about the moments its owner cares for.
class CameraWidgetDelegate
{
public:
    virtual ~CameraWidgetDelegate() = default;

    /// The view has received a picture after having none: the camera is really live now, not
    /// merely opened. Called on the GUI thread.
    virtual void pictureStarted(CameraWidget *view) = 0;
};

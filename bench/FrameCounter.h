#pragma once

#include <CameraThrottleController.h>
#include <CameraWidget.h>
#include <DocCamControl.h>

#include <QtGlobal>

/// Counts the new camera frames the view paints, and passes each paint on to the camera.
class FrameCounter : public CameraThrottleController
{
public:
    DocCamControl *control = nullptr;
    qint64 lastSequence = 0;
    int shown = 0;
    bool counting = false;

    void framePainted(CameraWidget *view) override
    {
        const qint64 sequence = view->frame().sequence();
        if (sequence > lastSequence) {
            lastSequence = sequence;
            if (counting)
                ++shown;
        }
        if (control)
            control->framePainted();
    }
};

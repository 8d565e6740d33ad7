#pragma once

#include <CameraWidget.h>
#include <DocCamControl.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <SimulatedCameras.h>

#include <QSize>
#include <QString>

/// A simulated document camera of the given size, plugged in and streaming into `view` for the
/// life of this object; unplugged again at its end. `control` is the stream's control, which
/// the view's throttle controller must pass each paint on to.
class SimulatedStream
{
public:
    SimulatedStream(QSize size, CameraWidget &view, DocCamControl *&control)
        : manager(DocCamManager::getDocCamManager({}))
        , control(control)
    {
        manager->start();
        SimulatedCameras::Setup setup;
        setup.size = size;
        key = SimulatedCameras::add(setup);
        manager->waitForIdle();
        KivoDocCam *camera = manager->cameras().value(0);
        DocCam::VideoFormat format;
        camera->getCurrentVideoFormat(format);
        camera->openStream(format, &view, &control);
        control->setDisplaySize(view.size() * view.devicePixelRatio());
        control->start();
    }

    ~SimulatedStream()
    {
        control->release();
        control = nullptr;
        SimulatedCameras::remove(key);
        manager->waitForIdle();
        manager->release();
    }

    SimulatedStream(const SimulatedStream &) = delete;
    SimulatedStream &operator=(const SimulatedStream &) = delete;

private:
    DocCamManager *manager;
    DocCamControl *&control;
    QString key;
};

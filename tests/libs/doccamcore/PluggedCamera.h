#pragma once

#include <SimulatedCameras.h>

#include <functional>

/// A simulated camera plugged in for one test and unplugged at its end, however the test ends.
/// Small and quick by default, so that tests wait for pictures as little as possible.
struct PluggedCamera
{
    Q_DISABLE_COPY(PluggedCamera)

    QString key;

    explicit PluggedCamera(const QString &model,
                           const std::function<void(SimulatedCameras::Setup &)> &adjust = {})
    {
        SimulatedCameras::Setup setup;
        setup.modelName = model;
        setup.size = QSize(320, 240);
        setup.frameRate = 60;
        if (adjust)
            adjust(setup);
        key = SimulatedCameras::add(setup);
    }
    ~PluggedCamera() { unplug(); }
    void unplug() const { SimulatedCameras::remove(key); }
};

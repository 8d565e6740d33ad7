#include "CameraStarter.h"

#include "CameraHandOver.h"

#include <DocCamControl.h>
#include <KivoDocCam.h>
#include <ThreadHandOver.h>

#include <pthread.h>

/// One attempt: the cameras it holds references to while it runs, and what came of it.
struct CameraStarter::Run
{
    QList<std::shared_ptr<KivoDocCam>> cameras;
    std::function<void(Outcome &)> finished;
    Outcome outcome;
    bool cancelled = false; // on the starter's thread only
};

CameraStarter::Outcome::~Outcome()
{
    reset();
}

void CameraStarter::Outcome::reset()
{
    // Stopping the stream joins its capture thread: no frame of it is delivered afterwards.
    if (DocCamControl *unused = std::exchange(control, nullptr))
        unused->release();
}

DocCamControl *CameraStarter::Outcome::takeControl()
{
    if (!control)
        return nullptr;
    gate->open(view);
    // A frame dropped at the gate is still waiting for its paint; without this report the
    // stream would deliver nothing more.
    control->framePainted();
    return std::exchange(control, nullptr);
}

CameraStarter::CameraStarter(QObject *parent)
    : QObject(parent)
{ }

CameraStarter::~CameraStarter()
{
    abandon();
}

void CameraStarter::request(std::function<Attempt()> prepare)
{
    if (running) {
        waiting = std::move(prepare);
        return;
    }
    launch(prepare());
}

void CameraStarter::cancel()
{
    waiting = nullptr;
    if (running)
        running->cancelled = true;
}

void CameraStarter::waitForIdle()
{
    while (running)
        finish(running);
}

void CameraStarter::abandon()
{
    cancel();
    waitForIdle();
}

void CameraStarter::launch(Attempt attempt)
{
    if (attempt.cameras.isEmpty())
        return;
    // Whatever this starter opened before has been released or handed over by now.
    gate.close();
    auto run = std::make_shared<Run>();
    for (KivoDocCam *camera : std::as_const(attempt.cameras))
        run->cameras.append(holdCamera(camera));
    run->finished = std::move(attempt.finished);
    run->outcome.gate = &gate;
    run->outcome.view = attempt.view;
    running = run;
    worker = std::thread([this, run] {
        pthread_setname_np(pthread_self(), "velora-camstart");
        tryCameras(*run);
        ThreadHandOver::published();
        QMetaObject::invokeMethod(
                this,
                [this, run] {
                    ThreadHandOver::received();
                    finish(run);
                },
                Qt::QueuedConnection);
    });
}

void CameraStarter::tryCameras(Run &run)
{
    Outcome &outcome = run.outcome;
    for (const std::shared_ptr<KivoDocCam> &camera : std::as_const(run.cameras)) {
        outcome.tried = camera.get();
        DocCam::VideoFormat format;
        DocCamControl *opened = nullptr;
        outcome.code = camera->getCurrentVideoFormat(format);
        if (outcome.code == DocCam::Ok)
            outcome.code = camera->openStream(format, outcome.gate, &opened);
        if (outcome.code != DocCam::Ok)
            continue;
        outcome.code = opened->start();
        if (outcome.code == DocCam::Ok) {
            outcome.control = opened;
            return;
        }
        outcome.someInUse = outcome.someInUse || outcome.code == DocCam::ErrorBusy;
        opened->release();
    }
}

void CameraStarter::finish(std::shared_ptr<Run> run)
{
    // Ended already when waitForIdle() got there first. Taken by value: `running` is cleared
    // below.
    if (run != running)
        return;
    worker.join();
    running.reset();
    if (!run->cancelled && run->finished)
        run->finished(run->outcome);
    // A stream the handler did not take stops here, before the gate serves another.
    run->outcome.reset();
    run->cameras.clear();
    if (!running && waiting)
        launch(std::exchange(waiting, nullptr)());
}

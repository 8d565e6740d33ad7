#pragma once

#include "StreamGate.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <thread>

class DocCamControl;
class KivoDocCam;
class QImageFrameGrabber;

/// Opens and starts cameras on a thread of its own and hands the outcome back to the thread
/// it lives on (the GUI thread), so that a camera slow to answer (a busy device, a UVC request
/// waiting for its USB timeout) never holds up the window.
///
/// One attempt runs at a time. A request made while one runs waits for its outcome to be
/// handled and is then prepared afresh; a later request replaces a waiting one. Each starter
/// serves one view: what it started must be released before it is destroyed.
class CameraStarter : public QObject
{
    Q_OBJECT

public:
    /// The result of one attempt; releases a stream nobody took when it goes.
    class Outcome
    {
    public:
        Outcome() = default;
        Outcome(const Outcome &) = delete;
        Outcome &operator=(const Outcome &) = delete;
        ~Outcome();

        /// The camera that started, or the last one tried when none did (none without any).
        KivoDocCam *camera() const { return tried; }
        bool started() const { return control != nullptr; }
        /// DocCam::Ok when a camera started, else the last camera's failure.
        int result() const { return code; }
        /// Some camera's start answered that another application holds it.
        bool inUse() const { return someInUse; }
        /// Hands the started stream over: the caller owns the control object from now on and
        /// the view receives the frames.
        DocCamControl *takeControl();

    private:
        friend class CameraStarter;
        void reset();

        KivoDocCam *tried = nullptr;
        DocCamControl *control = nullptr;
        int code = 0;
        bool someInUse = false;
        StreamGate *gate = nullptr;
        QImageFrameGrabber *view = nullptr;
    };

    /// What to try: each camera in turn until one starts, its frames for `view`; `finished`
    /// runs with the outcome on the starter's thread. No cameras: nothing to do.
    struct Attempt
    {
        QList<KivoDocCam *> cameras;
        QImageFrameGrabber *view = nullptr;
        std::function<void(Outcome &)> finished;
    };

    explicit CameraStarter(QObject *parent = nullptr);
    /// Drops what runs or waits, waiting for a running start to return (see abandon()).
    ~CameraStarter() override;

    /// Runs `prepare()` on this thread when no attempt runs (now, or once the running one's
    /// outcome has been handled) and starts the attempt it answers.
    void request(std::function<Attempt()> prepare);
    /// The running attempt's outcome will not be handled (what it opens is released) and a
    /// waiting request is dropped.
    void cancel();
    /// Blocks until no attempt runs or waits, handling each outcome as it comes.
    void waitForIdle();
    /// cancel(), then waits for a running start to return and releases what it opened.
    void abandon();

private:
    struct Run;

    void launch(Attempt attempt);
    /// On the worker thread: the library's open-and-start sequence, camera by camera.
    static void tryCameras(Run &run);
    /// Ends `run` on this thread: hands its outcome over, then starts a waiting request.
    void finish(std::shared_ptr<Run> run);

    StreamGate gate;
    std::shared_ptr<Run> running;
    std::thread worker;
    std::function<Attempt()> waiting;
};

#pragma once

/// An event another thread raises to cut short the capture thread's wait for a frame: its
/// descriptor joins the camera's in select(), and becomes readable once raised.
class V4l2WakeEvent
{
public:
    V4l2WakeEvent();
    ~V4l2WakeEvent();
    V4l2WakeEvent(const V4l2WakeEvent &) = delete;
    V4l2WakeEvent &operator=(const V4l2WakeEvent &) = delete;

    /// From any thread. Raising it again before it is cleared changes nothing.
    void raise();
    /// On the waiting thread, once it has turned to what it was woken for.
    void clear();
    /// The descriptor to wait on for reading; -1 when the system gave none, and then never
    /// raised.
    int descriptor() const { return fd; }

private:
    int fd = -1;
};

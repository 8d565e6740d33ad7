#include "StreamGate.h"

void StreamGate::close()
{
    std::lock_guard lock(mutex);
    target = nullptr;
}

void StreamGate::open(QImageFrameGrabber *opened)
{
    std::lock_guard lock(mutex);
    target = opened;
}

void StreamGate::oneFrameFetched(const CameraImage &frame)
{
    std::lock_guard lock(mutex);
    if (target)
        target->oneFrameFetched(frame);
}

void StreamGate::frameError(int code)
{
    std::lock_guard lock(mutex);
    if (target)
        target->frameError(code);
}

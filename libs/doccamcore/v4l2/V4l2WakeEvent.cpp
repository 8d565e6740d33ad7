#include "V4l2WakeEvent.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

V4l2WakeEvent::V4l2WakeEvent()
    // Non-blocking, so that clearing an event not raised returns at once.
    : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{ }

V4l2WakeEvent::~V4l2WakeEvent()
{
    if (fd >= 0)
        ::close(fd);
}

void V4l2WakeEvent::raise()
{
    if (fd < 0)
        return;
    const std::uint64_t one = 1;
    // Fails only when the counter is full, which leaves it raised anyway.
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
}

void V4l2WakeEvent::clear()
{
    if (fd < 0)
        return;
    std::uint64_t count = 0;
    // Reading resets the counter; EAGAIN means it was not raised.
    [[maybe_unused]] const ssize_t read = ::read(fd, &count, sizeof count);
}

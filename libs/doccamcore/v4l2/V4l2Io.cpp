#include "V4l2Io.h"

#include <atomic>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
V4l2Io systemCalls;
std::atomic<V4l2Io *> installed{&systemCalls};
} // namespace

int V4l2Io::open(const char *path, int flags)
{
    return ::open(path, flags);
}

int V4l2Io::close(int descriptor)
{
    return ::close(descriptor);
}

int V4l2Io::ioctl(int descriptor, unsigned long request, void *argument)
{
    return ::ioctl(descriptor, request, argument);
}

void *V4l2Io::mmap(std::size_t length, int descriptor, off_t offset)
{
    return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, offset);
}

int V4l2Io::munmap(void *start, std::size_t length)
{
    return ::munmap(start, length);
}

V4l2Io &V4l2Io::current()
{
    return *installed.load(std::memory_order_acquire);
}

void V4l2Io::install(V4l2Io *io)
{
    installed.store(io ? io : &systemCalls, std::memory_order_release);
}

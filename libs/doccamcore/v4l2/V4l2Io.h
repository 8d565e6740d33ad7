#pragma once

#include <cstddef>
#include <sys/types.h>

/// The system calls V4l2Device makes on a video node. The process uses the C library's; a test
/// installs a stand-in that plays a recorded camera or fails chosen calls, because a camera that
/// stalls, vanishes mid-stream or is held by another program cannot be made to on demand.
///
/// The descriptor open() answers is the one poll() waits on, so a stand-in answers a real
/// descriptor that it makes readable when a frame is due.
class V4l2Io
{
public:
    virtual ~V4l2Io() = default;

    /// Like the C library's calls: -1 (MAP_FAILED for mmap) with errno set on failure.
    virtual int open(const char *path, int flags);
    virtual int close(int descriptor);
    virtual int ioctl(int descriptor, unsigned long request, void *argument);
    /// A shared read-write mapping of a driver buffer.
    virtual void *mmap(std::size_t length, int descriptor, off_t offset);
    virtual int munmap(void *start, std::size_t length);

    /// The calls in force: the C library's unless a stand-in is installed.
    static V4l2Io &current();
    /// Makes `io` serve every later call; nullptr returns them to the C library. The caller
    /// keeps `io` alive until no device uses it and it is replaced.
    static void install(V4l2Io *io);
};

#include "FolderWatch.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <unistd.h>

std::atomic<unsigned> FolderWatch::signalsRaised{0};

namespace {
struct sigaction previousAction = {};

/// Whoever handled SIGIO before us still gets it.
void forwardToPrevious(int number, siginfo_t *info, void *context)
{
    if (previousAction.sa_flags & SA_SIGINFO) {
        if (previousAction.sa_sigaction)
            previousAction.sa_sigaction(number, info, context);
    } else if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
        previousAction.sa_handler(number);
    }
}
} // namespace

bool FolderWatch::installHandler()
{
    static std::once_flag once;
    static bool installed = false;
    std::call_once(once, [] {
        struct sigaction action = {};
        // Only a lock-free counter is touched here: it is all a signal handler may do.
        action.sa_sigaction = [](int number, siginfo_t *info, void *context) {
            signalsRaised.fetch_add(1, std::memory_order_acq_rel);
            forwardToPrevious(number, info, context);
        };
        // Restart interrupted calls: the signal may land in the middle of any blocking call.
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        installed = ::sigaction(SIGIO, &action, &previousAction) == 0;
    });
    return installed;
}

FolderWatch::FolderWatch(const QString &folder)
{
    signalsSeen = signalsRaised.load(std::memory_order_acquire);
    // SIGIO's default is to end the process, so no descriptor may raise it before the handler.
    if (!installHandler())
        return;
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return;
    // The folder rather than the file: a file replaced by a rename is a new file.
    constexpr uint32_t Events = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM
            | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (::inotify_add_watch(fd, QFile::encodeName(folder).constData(), Events) < 0
        || ::fcntl(fd, F_SETOWN, ::getpid()) != 0
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_ASYNC) != 0) {
        ::close(fd);
        return;
    }
    descriptor = fd;
}

FolderWatch::~FolderWatch()
{
    if (descriptor >= 0)
        ::close(descriptor);
}

bool FolderWatch::drain()
{
    signalsSeen = signalsRaised.load(std::memory_order_acquire);
    if (descriptor < 0)
        return true;
    // Emptied at every look, so the kernel's queue never fills and drops a notification.
    alignas(inotify_event) char buffer[4096];
    bool watchLost = false;
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        for (ssize_t offset = 0; offset < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            watchLost = watchLost || (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF));
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (watchLost) {
        // The folder itself went away or moved: from now on every look says "changed".
        ::close(descriptor);
        descriptor = -1;
    }
    return true;
}

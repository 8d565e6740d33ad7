#include "FileCopier.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Large enough that the kernel streams at the disk's speed, small enough that Cancel is seen
// within a fraction of a second even on a slow USB stick.
constexpr size_t KernelBlockSize = 8 * 1024 * 1024;
// Bytes passing through this process go through a buffer that stays in the processor's cache.
constexpr size_t BufferSize = 1024 * 1024;

struct Descriptor
{
    explicit Descriptor(int fd)
        : fd(fd)
    { }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd;
};

bool interrupted(ssize_t done)
{
    return done < 0 && errno == EINTR;
}

} // namespace

FileCopier::FileCopier(QObject *parent)
    : QObject(parent)
{ }

FileCopier::~FileCopier()
{
    cancel();
    wait();
}

bool FileCopier::start(const QString &source, const QString &target)
{
    if (thread.joinable())
        return false;
    cancelled = false;
    outcome = Cancelled;
    errorNumber = 0;
    copied = 0;
    total = 0;
    thread = std::thread([this, source, target] { run(source, target); });
    return true;
}

void FileCopier::wait()
{
    if (thread.joinable())
        thread.join();
}

void FileCopier::run(const QString &source, const QString &target)
{
    const Descriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (from.fd < 0) {
        finish(SourceUnreadable, errno);
        return;
    }
    struct stat info = {};
    if (::fstat(from.fd, &info) == 0)
        total = info.st_size;
    // Written under a hidden name and renamed at the end: a file being replaced stays whole
    // until its successor is, and nobody opens half a copy meanwhile.
    const QFileInfo targetInfo(target);
    const QByteArray folderName = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray targetName = QFile::encodeName(targetInfo.absoluteFilePath());
    const QByteArray partName
            = folderName + "/." + QFile::encodeName(targetInfo.fileName()) + ".part";
    const Descriptor to(
            ::open(partName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (to.fd < 0) {
        finish(TargetUnwritable, errno);
        return;
    }
    int error = 0;
    Result result = copy(from.fd, to.fd, error);
    // Only a flushed copy counts: a move deletes its source next.
    if (result == Copied
        && (::fsync(to.fd) != 0 || ::rename(partName.constData(), targetName.constData()) != 0)) {
        error = errno;
        result = WriteFailed;
    }
    if (result != Copied) {
        ::unlink(partName.constData());
    } else {
        // The new name itself must survive a power loss before the source goes.
        const Descriptor folder(::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.fd >= 0)
            ::fsync(folder.fd);
    }
    finish(result, error);
}

void FileCopier::finish(Result result, int error)
{
    outcome = result;
    errorNumber = error;
    Q_EMIT finished(result, error);
}

FileCopier::Result FileCopier::copy(int from, int to, int &error)
{
    // The kernel copies without passing the bytes through this process, and on some file
    // systems shares or offloads them; between other volumes it refuses and blocks are read and
    // written instead.
    bool inKernel = true;
    std::unique_ptr<char[]> buffer;
    for (;;) {
        if (cancelled)
            return Cancelled;
        ssize_t done = -1;
        if (inKernel) {
            done = ::copy_file_range(from, nullptr, to, nullptr, KernelBlockSize, 0);
            if (done < 0
                && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
                && copied == 0) {
                inKernel = false;
                continue;
            }
        } else {
            if (!buffer)
                buffer = std::make_unique<char[]>(BufferSize);
            done = ::read(from, buffer.get(), BufferSize);
            if (done < 0 && !interrupted(done)) {
                error = errno;
                return SourceUnreadable;
            }
            for (ssize_t written = 0; done > 0 && written < done;) {
                const ssize_t now = ::write(to, buffer.get() + written, size_t(done - written));
                if (now < 0 && interrupted(now))
                    continue;
                if (now <= 0) {
                    error = now < 0 ? errno : ENOSPC;
                    return WriteFailed;
                }
                written += now;
            }
        }
        if (interrupted(done))
            continue;
        if (done < 0) {
            error = errno;
            return WriteFailed;
        }
        if (done == 0)
            return Copied;
        copied += done;
    }
}

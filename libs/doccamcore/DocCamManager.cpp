#include "DocCamManager.h"

#include "CameraBackend.h"
#include "CameraDevice.h"
#include "CameraSettingsStore.h"
#include "DocCamManagerEventListener.h"
#include "SimulatedCameras.h"
#include "v4l2/V4l2Backend.h"

#include <QLoggingCategory>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcManager, "velora.doccam.manager")

namespace {
using Clock = std::chrono::steady_clock;

std::mutex instancesMutex;
DocCamManager *instances[2] = {nullptr, nullptr};

/// An eventfd that wakes the event thread when a task is posted.
class WakeFd
{
public:
    WakeFd()
        : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    { }
    ~WakeFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    WakeFd(const WakeFd &) = delete;
    WakeFd &operator=(const WakeFd &) = delete;

    void wake() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }
    void drain() const
    {
        uint64_t count = 0;
        [[maybe_unused]] auto read = ::read(fd, &count, sizeof count);
    }
    int descriptor() const { return fd; }

private:
    int fd;
};
} // namespace

struct DocCamManager::Private
{
    bool documentCameras = true;
    std::atomic<int> references{1};
    std::unique_ptr<CameraBackend> backend;
    std::shared_ptr<CameraSettingsStore> settings;

    std::mutex mutex; // guards the task queue, the camera list and the flags
    std::multimap<Clock::time_point, std::function<void()>> tasks;
    QList<CameraDevice *> cameras;
    bool started = false;
    bool quitting = false;

    // Held while listeners are called, so unregistering waits for a call in progress.
    std::recursive_mutex listenersMutex;
    QList<DocCamManagerEventListener *> listeners;

    WakeFd wake;
    std::thread thread;

    void run();
    void dispatch(DocCam::ManagerEvent event, KivoDocCam *camera)
    {
        std::lock_guard lock(listenersMutex);
        const auto targets = listeners;
        for (DocCamManagerEventListener *listener : targets) {
            if (listeners.contains(listener))
                listener->docCamManagerEvent(event, camera);
        }
    }
};

void DocCamManager::Private::run()
{
    pthread_setname_np(pthread_self(), "velora-doccam");
    for (;;) {
        std::function<void()> task;
        int timeoutMs = -1;
        {
            std::lock_guard lock(mutex);
            if (quitting)
                return;
            if (!tasks.empty()) {
                const auto due = tasks.begin()->first;
                const auto now = Clock::now();
                if (due <= now) {
                    task = std::move(tasks.begin()->second);
                    tasks.erase(tasks.begin());
                } else {
                    timeoutMs
                            = int(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
                }
            }
        }
        if (task) {
            task();
            continue;
        }

        pollfd fds[2] = {{wake.descriptor(), POLLIN, 0}, {-1, POLLIN, 0}};
        const int backendFd = backend ? backend->pollDescriptor() : -1;
        fds[1].fd = backendFd;
        const int ready = ::poll(fds, backendFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0 && errno != EINTR) {
            qCWarning(lcManager, "poll failed: %s", strerror(errno));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (fds[0].revents & POLLIN)
            wake.drain();
        if (backendFd >= 0 && (fds[1].revents & POLLIN))
            backend->onReadable();
    }
}

DocCamManager *DocCamManager::getDocCamManager(const QMap<QString, QString> &parameters)
{
    const bool documentCameras
            = parameters.value(QStringLiteral("kind")) != QLatin1String("webcam");
    std::lock_guard lock(instancesMutex);
    DocCamManager *&instance = instances[documentCameras ? 0 : 1];
    if (instance)
        instance->addRef();
    else
        instance = new DocCamManager(documentCameras);
    return instance;
}

DocCamManager::DocCamManager(bool documentCameras)
    : d(std::make_unique<Private>())
{
    d->documentCameras = documentCameras;
    // One place decides the backend: simulated cameras replace real ones entirely when asked
    // for, so a demo or a test never picks up a camera that happens to be plugged in.
    if (SimulatedCameras::isActive())
        d->backend = SimulatedCameras::createBackend(documentCameras);
    else
        d->backend = createV4l2Backend(documentCameras);
    d->settings = std::make_shared<CameraSettingsStore>(
            CameraSettingsStore::defaultFilePath(),
            [this](std::function<void()> task, int delayMs) { post(std::move(task), delayMs); });
    d->thread = std::thread([this] { d->run(); });
}

DocCamManager::~DocCamManager()
{
    // A flush posted from now on would never run.
    d->settings->stopScheduling();
    stop();
    {
        std::lock_guard lock(d->mutex);
        d->quitting = true;
    }
    d->wake.wake();
    d->thread.join();
    d->tasks.clear();
    for (CameraDevice *camera : std::as_const(d->cameras)) {
        camera->markGone();
        camera->release();
    }
    // The event thread has ended: what is still pending is written here. A camera someone
    // still holds writes its later changes when it goes.
    d->settings->flush();
}

void DocCamManager::addRef()
{
    ++d->references;
}

void DocCamManager::release()
{
    std::lock_guard lock(instancesMutex);
    if (--d->references > 0)
        return;
    instances[d->documentCameras ? 0 : 1] = nullptr;
    delete this;
}

bool DocCamManager::isDocumentCameraManager() const
{
    return d->documentCameras;
}

void DocCamManager::registerEventListener(DocCamManagerEventListener *listener)
{
    {
        std::lock_guard lock(d->listenersMutex);
        if (d->listeners.contains(listener))
            return;
        d->listeners.append(listener);
    }
    // A listener that arrives after the start hears about the cameras already attached.
    post([this, listener] {
        std::lock_guard lock(d->listenersMutex);
        if (!d->listeners.contains(listener))
            return;
        QList<CameraDevice *> attached;
        {
            std::lock_guard listLock(d->mutex);
            if (!d->started)
                return;
            attached = d->cameras;
        }
        for (CameraDevice *camera : attached)
            listener->docCamManagerEvent(DocCam::ManagerEvent::CameraAdded, camera);
    });
}

void DocCamManager::unregisterEventListener(DocCamManagerEventListener *listener)
{
    std::lock_guard lock(d->listenersMutex);
    d->listeners.removeAll(listener);
}

int DocCamManager::start()
{
    {
        std::lock_guard lock(d->mutex);
        if (d->started)
            return DocCam::Ok;
        d->started = true;
    }
    post([this] {
        d->dispatch(DocCam::ManagerEvent::ManagerStarted, nullptr);
        if (d->backend)
            d->backend->start(this);
        // The backend's arrivals are queued behind this task; report completion after them.
        post([this] { d->dispatch(DocCam::ManagerEvent::EnumerationCompleted, nullptr); });
    });
    return DocCam::Ok;
}

int DocCamManager::stop()
{
    {
        std::lock_guard lock(d->mutex);
        if (!d->started)
            return DocCam::Ok;
        d->started = false;
    }
    if (d->backend && std::this_thread::get_id() == d->thread.get_id()) {
        d->backend->stop();
        d->dispatch(DocCam::ManagerEvent::ManagerStopped, nullptr);
    } else if (d->backend) {
        // The promise is shared with the task: set_value() may still be finishing on the
        // manager's thread when wait() returns here, so it must not live on this stack.
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        post([this, done] {
            d->backend->stop();
            d->dispatch(DocCam::ManagerEvent::ManagerStopped, nullptr);
            done->set_value();
        });
        finished.wait();
    }
    return DocCam::Ok;
}

QList<KivoDocCam *> DocCamManager::cameras() const
{
    std::lock_guard lock(d->mutex);
    QList<KivoDocCam *> result;
    for (CameraDevice *camera : std::as_const(d->cameras))
        result.append(camera);
    return result;
}

std::shared_ptr<CameraSettingsStore> DocCamManager::settingsStore() const
{
    return d->settings;
}

void DocCamManager::post(std::function<void()> task, int delayMs)
{
    {
        std::lock_guard lock(d->mutex);
        d->tasks.emplace(Clock::now() + std::chrono::milliseconds(delayMs), std::move(task));
    }
    d->wake.wake();
}

CameraBackend *DocCamManager::backend() const
{
    return d->backend.get();
}

void DocCamManager::cameraArrived(CameraDevice *camera)
{
    post([this, camera] {
        {
            std::lock_guard lock(d->mutex);
            // A backend restarted after stop() reports its cameras again: keep the first.
            const bool known
                    = std::any_of(d->cameras.cbegin(), d->cameras.cend(),
                                  [camera](CameraDevice *c) { return c->key() == camera->key(); });
            if (known) {
                camera->release();
                return;
            }
            d->cameras.append(camera);
        }
        d->dispatch(DocCam::ManagerEvent::CameraAdded, camera);
    });
}

void DocCamManager::cameraLeft(CameraDevice *camera)
{
    post([this, camera] {
        {
            std::lock_guard lock(d->mutex);
            if (!d->cameras.removeOne(camera))
                return;
        }
        camera->markGone();
        d->dispatch(DocCam::ManagerEvent::CameraRemoved, camera);
        camera->release();
    });
}

void DocCamManager::waitForIdle()
{
    if (std::this_thread::get_id() == d->thread.get_id())
        return;
    // A task may post more (a backend's start reports its cameras): wait until a pass finds
    // nothing else due. Tasks set for later, such as the end of tuning, do not count.
    for (;;) {
        std::promise<bool> done;
        post([this, &done] {
            std::lock_guard lock(d->mutex);
            done.set_value(d->tasks.empty() || d->tasks.begin()->first > Clock::now());
        });
        if (done.get_future().get())
            return;
    }
}

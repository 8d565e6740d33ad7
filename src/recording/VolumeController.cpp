#include "VolumeController.h"

#include <LogModule.h>
#include <SettingIntf.h>
#include <ThreadHandOver.h>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/rtclock.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>
#include <pulse/volume.h>

#include <algorithm>
#include <vector>

namespace {
const LogModule recordingLog("velora/recording");

// A server that stops answering must not hold the GUI thread for longer than this.
constexpr pa_usec_t ReplyTimeout = 2 * PA_USEC_PER_SEC;
constexpr quint64 FullScale = 65535;

pa_volume_t toServerScale(quint32 value)
{
    return pa_volume_t(std::min<quint64>(value, FullScale) * PA_VOLUME_NORM / FullScale);
}

quint32 fromServerScale(pa_volume_t volume)
{
    return quint32(std::min<quint64>(quint64(volume) * FullScale / PA_VOLUME_NORM, FullScale));
}

struct LoopDeleter
{
    void operator()(pa_threaded_mainloop *loop) const
    {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};

/// Needs the loop locked or stopped.
struct ContextDeleter
{
    void operator()(pa_context *context) const
    {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
};

struct OperationDeleter
{
    void operator()(pa_operation *operation) const { pa_operation_unref(operation); }
};

struct TimeEventDeleter
{
    pa_mainloop_api *api;
    void operator()(pa_time_event *event) const { api->time_free(event); }
};

/// Holds the event thread's lock, as the callbacks run under it.
struct LoopLock
{
    explicit LoopLock(pa_threaded_mainloop *loop)
        : loop(loop)
    {
        pa_threaded_mainloop_lock(loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop); }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;
    pa_threaded_mainloop *loop;
};

/// Taken by every callback on the event thread. The loop's lock orders the callbacks after the
/// waiting thread's writes and before its reads, but inside libpulse, where ThreadSanitizer
/// does not look; this makes the same order visible to it.
struct CallbackHandOver
{
    CallbackHandOver() { ThreadHandOver::received(); }
    ~CallbackHandOver() { ThreadHandOver::published(); }
};

struct SourceEntry
{
    QByteArray name;
    QString description;
};

/// What the callbacks of one request leave for the waiting thread.
struct Reply
{
    pa_threaded_mainloop *loop = nullptr;
    bool finished = false;
    bool failed = false;
    pa_cvolume volume{};
    QByteArray defaultSink;
    QByteArray defaultSource;
    std::vector<SourceEntry> sources;

    void finish(bool ok)
    {
        finished = true;
        failed = !ok;
        pa_threaded_mainloop_signal(loop, 0);
    }
};

void onServerInfo(pa_context *, const pa_server_info *info, void *data)
{
    const CallbackHandOver handOver;
    auto *reply = static_cast<Reply *>(data);
    if (info) {
        reply->defaultSink = info->default_sink_name;
        reply->defaultSource = info->default_source_name;
    }
    reply->finish(info != nullptr);
}

template<typename Info> void onDeviceInfo(pa_context *, const Info *info, int eol, void *data)
{
    const CallbackHandOver handOver;
    auto *reply = static_cast<Reply *>(data);
    if (info)
        reply->volume = info->volume;
    else
        reply->finish(eol > 0 && pa_cvolume_valid(&reply->volume));
}

void onSourceEntry(pa_context *, const pa_source_info *info, int eol, void *data)
{
    const CallbackHandOver handOver;
    auto *reply = static_cast<Reply *>(data);
    if (info)
        reply->sources.push_back({info->name, QString::fromUtf8(info->description)});
    else
        reply->finish(eol > 0);
}

void onSuccess(pa_context *, int success, void *data)
{
    const CallbackHandOver handOver;
    static_cast<Reply *>(data)->finish(success != 0);
}

void onStateChange(pa_context *, void *loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(loop), 0);
}
} // namespace

/// The connection to the sound server: an event thread of libpulse and a context on it, both
/// made at first use. Not thread-safe; the controller's mutex serialises its callers.
class VolumeController::Server
{
public:
    enum class Device { Sink, Source };

    ~Server()
    {
        if (loop) {
            const LoopLock lock(loop.get());
            context.reset();
        }
    }

    /// The default sink's and source's names, asked anew since the user may change them.
    std::optional<Reply> defaults(const char *function)
    {
        Reply reply;
        if (!request(reply, [&] {
                return pa_context_get_server_info(context.get(), &onServerInfo, &reply);
            }))
            return log(function, "cannot ask for the default devices");
        return reply;
    }

    std::optional<std::vector<SourceEntry>> sources(const char *function)
    {
        Reply reply;
        if (!request(reply, [&] {
                return pa_context_get_source_info_list(context.get(), &onSourceEntry, &reply);
            }))
            return log(function, "cannot list the inputs");
        return std::move(reply.sources);
    }

    /// Reads a device's volume, or sets every channel of it to `value`; the volume on the
    /// server's scale.
    std::optional<pa_volume_t> access(Device device, const QByteArray &name,
                                      std::optional<pa_volume_t> value, const char *function)
    {
        const bool sink = device == Device::Sink;
        const QByteArray what
                = QByteArray(value ? "cannot set the volume of " : "cannot read the volume of ")
                + (sink ? "output " : "input ") + name;
        Reply info;
        if (!request(info, [&] {
                return sink ? pa_context_get_sink_info_by_name(context.get(), name.constData(),
                                                               &onDeviceInfo, &info)
                            : pa_context_get_source_info_by_name(context.get(), name.constData(),
                                                                 &onDeviceInfo, &info);
            }))
            return log(function, what.constData());
        if (!value)
            return pa_cvolume_avg(&info.volume);

        pa_cvolume volume;
        pa_cvolume_set(&volume, info.volume.channels, *value);
        Reply written;
        if (!request(written, [&] {
                return sink ? pa_context_set_sink_volume_by_name(context.get(), name.constData(),
                                                                 &volume, &onSuccess, &written)
                            : pa_context_set_source_volume_by_name(context.get(), name.constData(),
                                                                   &volume, &onSuccess, &written);
            }))
            return log(function, what.constData());
        return value;
    }

    /// Whether the last failure was a device the server does not know (any more).
    bool deviceMissing() const { return missing; }

private:
    using TimeEventPtr = std::unique_ptr<pa_time_event, TimeEventDeleter>;

    /// Starts `issue`'s operation on a connected context and waits for its reply.
    template<typename Issue> bool request(Reply &reply, Issue issue)
    {
        missing = false;
        expired = false;
        if (!startLoop())
            return false;
        const LoopLock lock(loop.get());
        // A connection the server dropped (a restart, say) may show only when it is used; one
        // more try on a fresh connection spares the caller that failure.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!connect())
                return false;
            reply = {};
            reply.loop = loop.get();
            const std::unique_ptr<pa_operation, OperationDeleter> operation(issue());
            if (operation && waitUntil([&] { return reply.finished; }))
                return reply.failed ? fail() : true;
            // Cancelled, the operation never calls back into a reply that has gone.
            if (operation)
                pa_operation_cancel(operation.get());
            if (expired || PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get())))
                break;
        }
        return fail();
    }

    bool startLoop()
    {
        if (loop)
            return true;
        std::unique_ptr<pa_threaded_mainloop, LoopDeleter> created(pa_threaded_mainloop_new());
        if (!created) {
            reason = "no memory for the event thread";
            return false;
        }
        pa_threaded_mainloop_set_name(created.get(), "velora-volume");
        if (pa_threaded_mainloop_start(created.get()) < 0) {
            reason = "the event thread does not start";
            return false;
        }
        loop = std::move(created);
        return true;
    }

    /// With the loop locked: a ready context, connected now if it is not.
    bool connect()
    {
        if (context && pa_context_get_state(context.get()) == PA_CONTEXT_READY)
            return true;
        // A context whose server went away (or restarted) stays failed; only a new one connects.
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop.get());
        context.reset(pa_context_new(api, "Velora"));
        if (!context) {
            reason = "no memory for a connection";
            return false;
        }
        pa_context_set_state_callback(context.get(), &onStateChange, loop.get());
        if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
            || !waitUntil(
                    [this] { return pa_context_get_state(context.get()) == PA_CONTEXT_READY; })) {
            fail();
            context.reset();
            return false;
        }
        return true;
    }

    /// With the loop locked: waits until `ready`, the connection breaks or the reply time is up.
    template<typename Ready> bool waitUntil(Ready ready)
    {
        expired = false;
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop.get());
        const TimeEventPtr deadline(pa_context_rttime_new(context.get(),
                                                          pa_rtclock_now() + ReplyTimeout,
                                                          &Server::expire, this),
                                    TimeEventDeleter{api});
        while (deadline && !ready() && !expired
               && PA_CONTEXT_IS_GOOD(pa_context_get_state(context.get()))) {
            // Everything this thread wrote and read so far comes before the callbacks that
            // run while it waits.
            ThreadHandOver::published();
            pa_threaded_mainloop_wait(loop.get());
            ThreadHandOver::received();
        }
        return ready();
    }

    static void expire(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *data)
    {
        const CallbackHandOver handOver;
        auto *server = static_cast<Server *>(data);
        server->expired = true;
        pa_threaded_mainloop_signal(server->loop.get(), 0);
    }

    /// With the loop locked: keeps why the last request failed.
    bool fail()
    {
        const int error = pa_context_errno(context.get());
        missing = error == PA_ERR_NOENTITY;
        reason = expired ? QByteArray("the sound server does not answer")
                         : QByteArray(pa_strerror(error));
        return false;
    }

    std::nullopt_t log(const char *function, const char *what) const
    {
        recordingLog.log(LogSystem::LogCritical, QStringLiteral("VolumeController::%s - %s: %s"),
                         function, what, reason.constData());
        return std::nullopt;
    }

    std::unique_ptr<pa_threaded_mainloop, LoopDeleter> loop;
    std::unique_ptr<pa_context, ContextDeleter> context;
    // Written by the deadline's callback on the event thread, read under the loop's lock.
    bool expired = false;
    bool missing = false;
    QByteArray reason;
};

VolumeController::VolumeController()
    : server(std::make_unique<Server>())
{ }

VolumeController::~VolumeController() = default;

quint32 VolumeController::recordingVolume()
{
    const std::lock_guard lock(mutex);
    return fromServerScale(accessRecording(std::nullopt, "recordingVolume").value_or(0));
}

bool VolumeController::setRecordingVolume(quint32 value)
{
    const std::lock_guard lock(mutex);
    return accessRecording(toServerScale(value), "setRecordingVolume").has_value();
}

quint32 VolumeController::volume(int target)
{
    const std::lock_guard lock(mutex);
    return fromServerScale(accessTarget(target, std::nullopt, "volume").value_or(0));
}

bool VolumeController::setVolume(int target, quint32 value)
{
    const std::lock_guard lock(mutex);
    return accessTarget(target, toServerScale(value), "setVolume").has_value();
}

std::optional<quint32> VolumeController::accessTarget(int target, std::optional<quint32> value,
                                                      const char *function)
{
    if (target != DefaultOutput && target != DefaultInput) {
        recordingLog.log(LogSystem::LogError, QStringLiteral("VolumeController::%s - no target %d"),
                         function, target);
        return std::nullopt;
    }
    const std::optional<Reply> defaults = server->defaults(function);
    if (!defaults)
        return std::nullopt;
    if (target == DefaultOutput)
        return server->access(Server::Device::Sink, defaults->defaultSink, value, function);
    return server->access(Server::Device::Source, defaults->defaultSource, value, function);
}

std::optional<quint32> VolumeController::accessRecording(std::optional<quint32> value,
                                                         const char *function)
{
    const QString setting = ComponentRef<SettingIntf>()->getAudioSource();
    if (setting.isEmpty()) {
        recordingLog.log(LogSystem::LogWarning,
                         QStringLiteral("VolumeController::%s - no recording input is chosen"),
                         function);
        return std::nullopt;
    }
    const bool remembered = setting == matchedSetting && !matchedSource.isEmpty();
    if (!remembered) {
        matchedSetting = setting;
        matchedSource = matchRecordingSource(setting, function);
        if (matchedSource.isEmpty())
            return std::nullopt;
    }
    std::optional<quint32> result
            = server->access(Server::Device::Source, matchedSource, value, function);
    if (!result && remembered && server->deviceMissing()) {
        // The input went away since it was matched; the same name may have come back as another.
        matchedSource = matchRecordingSource(setting, function);
        if (!matchedSource.isEmpty())
            result = server->access(Server::Device::Source, matchedSource, value, function);
    }
    return result;
}

QByteArray VolumeController::matchRecordingSource(const QString &setting, const char *function)
{
    const std::optional<std::vector<SourceEntry>> sources = server->sources(function);
    if (!sources)
        return {};
    // The setting holds the name the input list showed, which may carry more than the server's
    // description (or less), so an exact match wins and a partial one is the fallback.
    auto found = std::find_if(sources->begin(), sources->end(), [&](const SourceEntry &source) {
        return source.description.compare(setting, Qt::CaseInsensitive) == 0;
    });
    if (found == sources->end()) {
        found = std::find_if(sources->begin(), sources->end(), [&](const SourceEntry &source) {
            return !source.description.isEmpty()
                    && (setting.contains(source.description, Qt::CaseInsensitive)
                        || source.description.contains(setting, Qt::CaseInsensitive));
        });
    }
    if (found == sources->end()) {
        recordingLog.log(LogSystem::LogWarning,
                         QStringLiteral("VolumeController::%s - no input is named \"%s\""),
                         function, qPrintable(setting));
        return {};
    }
    return found->name;
}

#include "MediaDurationProbe.h"

#include "MediaReadWatch.h"

#include <FfmpegHandles.h>
#include <LogModule.h>
#include <ThreadHandOver.h>

#include <QFileInfo>

#include <pthread.h>

namespace {

const LogModule probeLog("velora/medialibrary");

// A header and its index take well under a megabyte even for a 14:30 recording; a damaged size
// field, though, sends the AVI reader through the rest of the file eight bytes at a time looking
// for an index, which for a 1 GB file costs ten seconds of reading.
constexpr int64_t ReadBudget = 16 * 1024 * 1024;

// The longest stream as the header states it; 0 when it states none.
qint64 statedLength(const AVFormatContext *context)
{
    if (context->duration > 0)
        return av_rescale(context->duration, 1000, AV_TIME_BASE);
    qint64 longest = 0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->duration > 0)
            longest = qMax(longest, av_rescale_q(stream->duration, stream->time_base, {1, 1000}));
    }
    return longest;
}

qint64 measure(const QString &path, const std::atomic<bool> *stop, QString *why)
{
    // A FIFO or a device named like a video would block in open(), where no interrupt reaches.
    if (!QFileInfo(path).isFile()) {
        *why = QStringLiteral("not a readable file");
        return 0;
    }
    InputFormatPtr context(avformat_alloc_context());
    if (!context)
        return 0;
    const MediaReadWatch watch(context.get(), stop, ReadBudget);
    FfmpegOptions options;
    // Every gigabyte of an OpenDML file has an index of its own, and the header has the length.
    options.set("use_odml", "0");
    // "file:" keeps a colon in the name from being read as a protocol.
    int result = openInput(context, "file:" + path.toUtf8(), &options);
    if (result < 0) {
        *why = ffmpegError(result);
        return 0;
    }
    // Reading packets (avformat_find_stream_info) finds no length that the AVI or ASF header
    // lacks, a recording in progress among them; it would only cost time.
    const qint64 length = statedLength(context.get());
    if (length == 0)
        *why = QStringLiteral("no length in its header");
    return length;
}

} // namespace

qint64 probeMediaDuration(const QString &path, const std::atomic<bool> *stop)
{
    QString why;
    const qint64 length = measure(path, stop, &why);
    if (length == 0 && !(stop && stop->load(std::memory_order_relaxed)))
        probeLog.log(LogSystem::LogNotice, "probeMediaDuration - No duration for %s: %s",
                     qPrintable(path), qPrintable(why));
    return length;
}

DurationProbeQueue::DurationProbeQueue(QObject *parent)
    : QObject(parent)
    , worker(&DurationProbeQueue::run, this)
{ }

DurationProbeQueue::~DurationProbeQueue()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    // Answers the thread posted before it ended are dropped with this object's posted events.
}

void DurationProbeQueue::request(const QString &path)
{
    {
        std::lock_guard lock(mutex);
        if (unanswered.contains(path)) {
            // Asked for again, so on screen again: it goes first.
            if (waiting.removeOne(path))
                waiting.prepend(path);
            return;
        }
        unanswered.insert(path);
        waiting.prepend(path);
    }
    wake.notify_one();
}

void DurationProbeQueue::clear()
{
    std::lock_guard lock(mutex);
    ++generation;
    waiting.clear();
    unanswered.clear();
}

void DurationProbeQueue::run()
{
    pthread_setname_np(pthread_self(), "duration-probe");
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !waiting.isEmpty(); });
        if (stopping)
            return;
        const QString path = waiting.takeFirst();
        const quint64 asked = generation;
        lock.unlock();
        const qint64 milliseconds = probeMediaDuration(path, &stopping);
        lock.lock();
        if (stopping)
            return;
        ThreadHandOver::published();
        QMetaObject::invokeMethod(
                this,
                [this, path, milliseconds, asked] {
                    ThreadHandOver::received();
                    deliver(path, milliseconds, asked);
                },
                Qt::QueuedConnection);
    }
}

void DurationProbeQueue::deliver(const QString &path, qint64 milliseconds, quint64 asked)
{
    {
        std::lock_guard lock(mutex);
        // Asked for before clear(): the folder it belonged to is gone.
        if (asked != generation)
            return;
        unanswered.remove(path);
    }
    Q_EMIT durationProbed(path, milliseconds);
}

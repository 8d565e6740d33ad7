#pragma once

#include <QMap>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>

/// What the presenter set on each camera, kept across unplugging and restarts in a small file
/// of the per-user data folder.
///
/// A camera is known by its USB vendor and product and its serial number, or by the port it is
/// plugged into when it has none (cameraKey()). Its values are the library's own levels, keyed
/// by V4L2 control id whatever carries the control out (the device, the software path or a
/// simulated camera). The file holds one camera per line, each line a JSON object, so a damaged
/// line costs that camera its values and no other.
///
/// Writes are coalesced and done by whatever runs the scheduler's tasks (the manager's event
/// thread); each merges into what the file holds then, so entries written by someone else
/// survive. Every operation may be called from any thread.
class CameraSettingsStore
{
public:
    /// Control id to value.
    using Values = QMap<std::uint32_t, int>;
    /// Runs a task after a delay in milliseconds, on a thread that may write the file.
    using Scheduler = std::function<void(std::function<void()> task, int delayMs)>;

    /// Reads `filePath` now; a file that cannot be read or is damaged is logged once.
    CameraSettingsStore(QString filePath, Scheduler schedule);
    /// Writes what is still pending.
    ~CameraSettingsStore();
    CameraSettingsStore(const CameraSettingsStore &) = delete;
    CameraSettingsStore &operator=(const CameraSettingsStore &) = delete;

    /// The file in the per-user data folder.
    static QString defaultFilePath();
    static QString cameraKey(quint16 vendorId, quint16 productId, const QString &serialNumber,
                             quint32 locationId);

    Values values(const QString &camera) const;
    /// Remembers one value; the file follows within WriteDelayMs.
    void record(const QString &camera, std::uint32_t controlId, int value);
    /// Forgets everything remembered for `camera`.
    void forget(const QString &camera);
    /// Forgets one control of `camera`.
    void forget(const QString &camera, std::uint32_t controlId);
    /// Writes pending changes as soon as the scheduler runs the task, not after the delay.
    void flushSoon();
    /// Writes pending changes now, on the calling thread.
    void flush();
    /// The scheduler is going away: from now on writes wait for flush() or the destructor.
    void stopScheduling();

    /// At most this often while a slider moves.
    static constexpr int WriteDelayMs = 400;

private:
    /// What the file holds; false when it exists but cannot be read. `reason` says why.
    bool readFile(QMap<QString, Values> &result, QString &reason);
    /// With `mutex` held: `camera` waits for the next write; true when no write is scheduled
    /// yet, so the caller schedules one.
    bool markPending(const QString &camera);
    void schedule(int delayMs);
    void reportOnce(bool &reported, const QString &text);

    const QString filePath;
    std::mutex schedulerMutex;
    Scheduler scheduler;

    mutable std::mutex mutex;
    QMap<QString, Values> entries;
    /// Cameras changed since the last write, with the change's number; a camera without an
    /// entry was forgotten.
    QMap<QString, quint64> pending;
    quint64 version = 0;
    bool writeScheduled = false;
    bool readProblemReported = false;
    bool writeProblemReported = false;
};

#include "CameraSettingsStore.h"

#include "DocCamLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <climits>
#include <cmath>
#include <utility>

namespace {

// Far beyond what any number of cameras needs; anything larger is not ours.
constexpr qint64 MaxFileSize = 1 << 20;

/// One line of the file, or an empty key with `error` set when the line is damaged.
QString parseLine(const QByteArray &line, CameraSettingsStore::Values &values, QString &error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = parse.errorString();
        return {};
    }
    const QJsonObject object = document.object();
    const QString camera = object.value(QLatin1String("camera")).toString();
    const QJsonValue controls = object.value(QLatin1String("controls"));
    if (camera.isEmpty() || !controls.isObject()) {
        error = QStringLiteral("no camera or no controls");
        return {};
    }
    const QJsonObject map = controls.toObject();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        bool ok = false;
        const uint id = it.key().toUInt(&ok, 16);
        const double value = it.value().toDouble(qQNaN());
        if (!ok || !std::isfinite(value) || value != std::floor(value)
            || std::fabs(value) > INT_MAX) {
            error = QStringLiteral("control %1 is not a whole number").arg(it.key());
            return {};
        }
        values.insert(id, int(value));
    }
    return camera;
}

QByteArray lineOf(const QString &camera, const CameraSettingsStore::Values &values)
{
    QJsonObject controls;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        controls.insert(QStringLiteral("0x%1").arg(it.key(), 8, 16, QLatin1Char('0')), it.value());
    const QJsonObject object{{QStringLiteral("camera"), camera},
                             {QStringLiteral("controls"), controls}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

/// Both managers (document cameras and webcams) write the one file: one merge at a time, or
/// the later writer would drop what the earlier one had just written.
std::mutex &fileMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

CameraSettingsStore::CameraSettingsStore(QString filePath, Scheduler schedule)
    : filePath(std::move(filePath))
    , scheduler(std::move(schedule))
{
    QString reason;
    std::lock_guard fileLock(fileMutex());
    if (!readFile(entries, reason))
        reportOnce(readProblemReported,
                   QStringLiteral("%1 could not be read (%2); cameras keep their own settings")
                           .arg(this->filePath, reason));
}

CameraSettingsStore::~CameraSettingsStore()
{
    flush();
}

QString CameraSettingsStore::defaultFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
            .filePath(QStringLiteral("CameraSettings.jsonl"));
}

QString CameraSettingsStore::cameraKey(quint16 vendorId, quint16 productId,
                                       const QString &serialNumber, quint32 locationId)
{
    // A serial number follows the camera to any port; without one, the port is all there is,
    // and two cameras of one model are told apart by where they are plugged in.
    const QString usb = QStringLiteral("%1:%2")
                                .arg(vendorId, 4, 16, QLatin1Char('0'))
                                .arg(productId, 4, 16, QLatin1Char('0'));
    if (!serialNumber.trimmed().isEmpty())
        return usb + QStringLiteral(":serial:") + serialNumber.trimmed();
    return usb + QStringLiteral(":port:%1").arg(locationId, 8, 16, QLatin1Char('0'));
}

CameraSettingsStore::Values CameraSettingsStore::values(const QString &camera) const
{
    std::lock_guard lock(mutex);
    // Not shared with the entry a setter may change on another thread (see flush()).
    Values values = entries.value(camera);
    values.detach();
    return values;
}

void CameraSettingsStore::record(const QString &camera, std::uint32_t controlId, int value)
{
    {
        std::lock_guard lock(mutex);
        Values &values = entries[camera];
        if (values.contains(controlId) && values.value(controlId) == value)
            return;
        values.insert(controlId, value);
        if (!markPending(camera))
            return;
    }
    schedule(WriteDelayMs);
}

void CameraSettingsStore::forget(const QString &camera)
{
    {
        std::lock_guard lock(mutex);
        if (!entries.remove(camera))
            return;
        markPending(camera);
    }
    schedule(0);
}

void CameraSettingsStore::forget(const QString &camera, std::uint32_t controlId)
{
    {
        std::lock_guard lock(mutex);
        const auto found = entries.find(camera);
        if (found == entries.end() || !found->remove(controlId))
            return;
        if (found->isEmpty())
            entries.erase(found);
        if (!markPending(camera))
            return;
    }
    schedule(WriteDelayMs);
}

bool CameraSettingsStore::markPending(const QString &camera)
{
    pending[camera] = ++version;
    return !std::exchange(writeScheduled, true);
}

void CameraSettingsStore::flushSoon()
{
    {
        std::lock_guard lock(mutex);
        if (pending.isEmpty())
            return;
        writeScheduled = true;
    }
    schedule(0);
}

void CameraSettingsStore::schedule(int delayMs)
{
    std::lock_guard lock(schedulerMutex);
    if (scheduler)
        scheduler([this] { flush(); }, delayMs);
}

void CameraSettingsStore::stopScheduling()
{
    std::lock_guard lock(schedulerMutex);
    scheduler = nullptr;
}

void CameraSettingsStore::flush()
{
    std::lock_guard fileLock(fileMutex());
    QMap<QString, quint64> written;
    QMap<QString, Values> changes;
    {
        std::lock_guard lock(mutex);
        writeScheduled = false;
        // Copies of their own, not shared with the maps a setter changes meanwhile: they are
        // read below without the lock, and a shared map's copy-on-write is decided by a count
        // that orders nothing between the threads.
        written = pending;
        written.detach();
        for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
            if (entries.contains(it.key())) {
                Values values = entries.value(it.key());
                values.detach();
                changes.insert(it.key(), values);
            }
        }
    }
    if (written.isEmpty())
        return;

    // Merge into what the file holds now: a file that cannot be read is left alone rather than
    // replaced by the little known here.
    QMap<QString, Values> onDisk;
    QString reason;
    if (!readFile(onDisk, reason)) {
        reportOnce(readProblemReported,
                   QStringLiteral("%1 could not be read (%2); it is left as it is")
                           .arg(filePath, reason));
        return;
    }
    for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
        if (changes.contains(it.key()))
            onDisk.insert(it.key(), changes.value(it.key()));
        else
            onDisk.remove(it.key());
    }
    QByteArray content;
    for (auto it = onDisk.constBegin(); it != onDisk.constEnd(); ++it)
        content += lineOf(it.key(), it.value());

    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.commit()) {
        reportOnce(writeProblemReported,
                   QStringLiteral("%1 could not be written (%2); camera settings are kept until "
                                  "Velora ends")
                           .arg(filePath, file.errorString()));
        return;
    }
    std::lock_guard lock(mutex);
    // A camera changed again while the file was written stays pending.
    for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
        if (pending.value(it.key()) == it.value())
            pending.remove(it.key());
    }
}

bool CameraSettingsStore::readFile(QMap<QString, Values> &result, QString &reason)
{
    QFile file(filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    if (file.size() > MaxFileSize) {
        reason = QStringLiteral("larger than %1 bytes").arg(MaxFileSize);
        return false;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    int damaged = 0;
    QString firstError;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).trimmed().isEmpty())
            continue;
        Values values;
        QString error;
        const QString camera = parseLine(lines.at(i), values, error);
        if (camera.isEmpty()) {
            if (damaged++ == 0)
                firstError = QStringLiteral("line %1: %2").arg(i + 1).arg(error);
            continue;
        }
        result.insert(camera, values);
    }
    if (damaged > 0)
        reportOnce(readProblemReported,
                   QStringLiteral("%1 has %2 damaged line(s), first %3; those cameras keep their "
                                  "own settings")
                           .arg(filePath)
                           .arg(damaged)
                           .arg(firstError));
    return true;
}

void CameraSettingsStore::reportOnce(bool &reported, const QString &text)
{
    {
        std::lock_guard lock(mutex);
        if (reported)
            return;
        reported = true;
    }
    docCamLog(LogSystem::LogWarning, QStringLiteral("CameraSettingsStore - ") + text);
}

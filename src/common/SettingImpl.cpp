#include "SettingImpl.h"

#include "FolderWatch.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

#include <atomic>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcSettings, "velora.settings")

namespace {
const QString SavePathKey = QStringLiteral("savePath");
const QString AudioSourceKey = QStringLiteral("recording/audioSource");
const QString VideoQualityKey = QStringLiteral("recording/videoQuality");
const QString MuteKey = QStringLiteral("recording/mute");
const QString TotalTimeKey = QStringLiteral("capture/elapsed-time/totalTime");
const QString PeriodKey = QStringLiteral("capture/elapsed-time/period");
constexpr int DefaultVideoQuality = 2;

/// Whether this run has already said that the settings cannot be saved.
std::atomic<bool> toldUnsaveable{false};

QString withTrailingSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

/// Stored booleans are "true"/"false"; anything that is neither a boolean word nor a number
/// reads as false rather than QVariant's "any non-empty string is true".
bool toBool(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber && number != 0.0;
}
} // namespace

SettingIntf *SettingIntf::getInstance()
{
    return SettingImpl::getInstance();
}

SettingImpl::SettingImpl()
{
    QDir().mkpath(dataFolder());
    QDir().mkpath(defaultSavePath());
    // Watching before the first read, so that no change can fall between the two.
    watch = std::make_unique<FolderWatch>(dataFolder());
    load();
}

SettingImpl::~SettingImpl()
{
    flush();
}

void SettingImpl::release()
{
    flush();
    releaseShared();
}

QString SettingImpl::dataFolder()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return withTrailingSlash(QDir(location).absolutePath());
}

QString SettingImpl::settingsFilePath()
{
    return dataFolder() + QStringLiteral("Settings.ini");
}

QString SettingImpl::defaultSavePath()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder
            = QStringLiteral("%1/Velora/Media Library/").arg(documents, 0, QLatin1Char(' '));
    return withTrailingSlash(QDir(folder).absolutePath());
}

SettingImpl::FileIdentity SettingImpl::identityOf(const struct stat &info)
{
    return {true,
            quint64(info.st_dev),
            quint64(info.st_ino),
            qint64(info.st_size),
            qint64(info.st_mtim.tv_sec),
            qint64(info.st_mtim.tv_nsec)};
}

SettingImpl::FileIdentity SettingImpl::identityOnDisk()
{
    struct stat info = {};
    if (::stat(QFile::encodeName(settingsFilePath()).constData(), &info) != 0)
        return {};
    return identityOf(info);
}

void SettingImpl::refresh()
{
    if (watch->takeChange() && identityOnDisk() != loaded)
        load();
}

void SettingImpl::load()
{
    const QString path = settingsFilePath();
    // The identity is taken before reading: a change made during the read is seen next time.
    loaded = identityOnDisk();
    values.clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && !IniFile::parse(file.readAll(), &values)) {
        values.clear();
        file.close();
        const QString stamp = path + QStringLiteral(".corrupt-")
                + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        // A second damaged file within the same second must not be written over.
        QString keep = stamp;
        for (int copy = 2; QFile::exists(keep) && copy < 100; ++copy)
            keep = stamp + QStringLiteral("-%1").arg(copy);
        if (QFile::rename(path, keep))
            qCWarning(lcSettings, "%s could not be read; it was kept as %s and defaults are used",
                      qPrintable(path), qPrintable(keep));
        else
            qCWarning(lcSettings,
                      "%s could not be read and could not be moved aside; defaults are used",
                      qPrintable(path));
        loaded = identityOnDisk();
    }
    for (auto it = unsaved.cbegin(); it != unsaved.cend(); ++it)
        values.insert(it.key(), it.value());
}

bool SettingImpl::flush()
{
    if (unsaved.isEmpty())
        return true;
    refresh(); // what others wrote meanwhile is kept; our own changes win
    QSaveFile file(settingsFilePath());
    const QByteArray text = IniFile::serialize(values);
    bool written
            = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush();
    // Taken from the temporary file: the rename into place changes none of it.
    struct stat info = {};
    written = written && ::fstat(file.handle(), &info) == 0;
    if (!written || !file.commit()) {
        reportUnsaveable(file.errorString());
        return false;
    }
    loaded = identityOf(info);
    unsaved.clear();
    return true;
}

void SettingImpl::reportUnsaveable(const QString &reason)
{
    if (toldUnsaveable.exchange(true))
        return;
    const QString path = settingsFilePath();
    qCWarning(lcSettings, "Settings cannot be saved to %s (%s); changes last until Velora closes",
              qPrintable(path), qPrintable(reason));
    // A message box needs a widget application; without one (a tool, or the very end) the line
    // above must do.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    MessageBox::warning(nullptr, QStringLiteral("Warning"),
                        QStringLiteral("Velora cannot save its settings to %1 (%2).\n\n"
                                       "Changes to the settings last only until Velora closes.")
                                .arg(path, reason));
}

QString SettingImpl::getSavePath()
{
    QString path = value(SavePathKey).toString();
    if (path.isEmpty() || !QDir(path).exists()) {
        path = defaultSavePath();
        QDir().mkpath(path);
        setSavePath(path);
    }
    return withTrailingSlash(path);
}

void SettingImpl::setSavePath(const QString &path)
{
    setValue(SavePathKey, path);
}

QString SettingImpl::getAudioSource()
{
    return value(AudioSourceKey, QString()).toString();
}

void SettingImpl::setAudioSource(const QString &source)
{
    setValue(AudioSourceKey, source);
}

int SettingImpl::getVideoQuality()
{
    return value(VideoQualityKey, DefaultVideoQuality).toInt();
}

void SettingImpl::setVideoQuality(int quality)
{
    setValue(VideoQualityKey, quality);
}

bool SettingImpl::getMute()
{
    return toBool(value(MuteKey, false));
}

void SettingImpl::setMute(bool mute)
{
    setValue(MuteKey, mute);
}

uint SettingImpl::getTotalTime()
{
    return value(TotalTimeKey, 0u).toUInt();
}

void SettingImpl::setTotalTime(uint totalTime)
{
    setValue(TotalTimeKey, totalTime);
}

uint SettingImpl::getPeriod()
{
    return value(PeriodKey, 0u).toUInt();
}

void SettingImpl::setPeriod(uint period)
{
    setValue(PeriodKey, period);
}

void SettingImpl::setValue(const QString &key, const QVariant &value)
{
    refresh();
    const auto stored = values.constFind(key);
    // Writing back what is there already (start-up does, every time) leaves the file alone.
    if (stored != values.cend() && IniFile::valueText(*stored) == IniFile::valueText(value))
        return;
    values.insert(key, value);
    unsaved.insert(key, value);
    if (!flushPosted) {
        flushPosted = true;
        QMetaObject::invokeMethod(
                this,
                [this] {
                    flushPosted = false;
                    flush();
                },
                Qt::QueuedConnection);
    }
}

QVariant SettingImpl::value(const QString &key)
{
    refresh();
    return values.value(key);
}

QVariant SettingImpl::value(const QString &key, const QVariant &defaultValue)
{
    refresh();
    const auto stored = values.constFind(key);
    return stored == values.cend() ? defaultValue : *stored;
}

#include "SettingImpl.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcSettings, "velora.settings")

namespace {
const QString SavePathKey = QStringLiteral("savePath");
const QString AudioSourceKey = QStringLiteral("recording/audioSource");
const QString VideoQualityKey = QStringLiteral("recording/videoQuality");
const QString MuteKey = QStringLiteral("recording/mute");
const QString TotalTimeKey = QStringLiteral("capture/elapsed-time/totalTime");
const QString PeriodKey = QStringLiteral("capture/elapsed-time/period");
constexpr int DefaultVideoQuality = 2;

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
}

SettingImpl::~SettingImpl() = default;

void SettingImpl::release()
{
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

std::unique_ptr<QSettings> SettingImpl::open()
{
    auto settings = std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat);
    if (settings->status() != QSettings::FormatError)
        return settings;

    // QSettings refuses to write over a file it cannot parse, which would silently drop every
    // later change. Keep the damaged file for whoever wants to look at it and start afresh.
    settings.reset();
    const QString path = settingsFilePath();
    const QString keep = path + QStringLiteral(".corrupt-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(path, keep))
        qCWarning(lcSettings, "%s could not be read; it was kept as %s and defaults are used",
                  qPrintable(path), qPrintable(keep));
    else
        qCWarning(lcSettings,
                  "%s could not be read and could not be moved aside; defaults are used",
                  qPrintable(path));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
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
    const auto settings = open();
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        qCWarning(lcSettings, "Setting %s could not be written to %s", qPrintable(key),
                  qPrintable(settingsFilePath()));
}

QVariant SettingImpl::value(const QString &key)
{
    return open()->value(key);
}

QVariant SettingImpl::value(const QString &key, const QVariant &defaultValue)
{
    return open()->value(key, defaultValue);
}

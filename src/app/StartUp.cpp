#include "StartUp.h"

#include "SettingIntf.h"

#include <SharedComponent.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTranslator>

namespace {
const QString LanguageKey = QStringLiteral("language");
const QString LogLevelKey = QStringLiteral("logs/logLevel");
const QString LogLocationKey = QStringLiteral("logs/logFilesLocation");
const QString LogExpiryKey = QStringLiteral("logs/logFilesExpiryDate");
constexpr int DefaultLogLevel = 5;
constexpr int DefaultExpiryDays = 30;

using Settings = ComponentRef<SettingIntf>;
} // namespace

namespace StartUp {

QString logFileTemplate()
{
    return QStringLiteral("%1/%2").arg(logFilesFolder(), QStringLiteral("VeloraYYMMDD-9999.log"));
}

void loadLanguage(QTranslator *translator)
{
    Settings settings;
    const QString language = settings->value(LanguageKey).toString();
    if (language.isNull()) {
        settings->setValue(LanguageKey, QStringLiteral("eng"));
        return;
    }
    // A missing translation leaves the translator empty, which keeps the English texts.
    (void)translator->load(QStringLiteral("language/Lang_%1").arg(language));
    QCoreApplication::installTranslator(translator);
}

QString logFilesFolder()
{
    Settings settings;
    QString folder = settings->value(LogLocationKey).toString();
    // An empty location is as good as none: it would scatter logs into the working folder.
    if (folder.isEmpty()) {
        const QString documents
                = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        folder = QDir(QStringLiteral("%1/Velora/logs").arg(documents)).absolutePath();
        settings->setValue(LogLocationKey, folder);
    }
    if (!QDir(folder).exists())
        QDir::root().mkpath(folder);
    return folder;
}

void removeExpiredLogFiles()
{
    int expiryDays = DefaultExpiryDays;
    {
        Settings settings;
        expiryDays = settings->value(LogExpiryKey).toInt();
        if (expiryDays <= 0) {
            expiryDays = DefaultExpiryDays;
            settings->setValue(LogExpiryKey, expiryDays);
        }
    }

    const QDate today = QDate::currentDate();
    const QDir folder(logFilesFolder());
    const QFileInfoList files
            = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo &file : files) {
        const qint64 age = file.lastModified().date().daysTo(today);
        if (age > expiryDays)
            QFile::remove(file.absoluteFilePath());
    }
}

int configuredLogLevel()
{
    Settings settings;
    const int level = settings->value(LogLevelKey, DefaultLogLevel).toInt();
    settings->setValue(LogLevelKey, level);
    return level;
}

} // namespace StartUp

#include "StartUp.h"

#include "SettingIntf.h"

#include <AutoSerialFileLogger.h>
#include <LogSystem.h>
#include <SharedComponent.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTranslator>

#include <memory>

namespace {
const QString LanguageKey = QStringLiteral("language");
const QString LogLevelKey = QStringLiteral("logs/logLevel");
const QString LogLocationKey = QStringLiteral("logs/logFilesLocation");
const QString LogExpiryKey = QStringLiteral("logs/logFilesExpiryDate");
constexpr int DefaultLogLevel = 5;
constexpr int DefaultExpiryDays = 30;

using Settings = ComponentRef<SettingIntf>;

QString defaultLogFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(QStringLiteral("%1/Velora/logs").arg(documents)).absolutePath();
}

QString logFileTemplateIn(const QString &folder)
{
    return QStringLiteral("%1/%2").arg(folder, QStringLiteral("VeloraYYMMDD-9999.log"));
}
} // namespace

bool StartUp::runOnXWayland(int argc, const char *const *argv)
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return false;
    for (int i = 1; i < argc; ++i) {
        // Qt takes its options with one dash or two.
        const QByteArrayView argument(argv[i]);
        if (argument == "-platform" || argument == "--platform")
            return false;
    }
    return true;
}

namespace StartUp {

QString logFileTemplate()
{
    return logFileTemplateIn(logFilesFolder());
}

QString startLogging()
{
    const QString configured = logFilesFolder();
    QStringList folders{configured, defaultLogFolder(),
                        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)};
    folders.removeDuplicates();
    folders.removeAll(QString());
    LogSystem *logSystem = LogSystem::getSysLogSystem();
    QString logFile;
    QString failure;
    for (const QString &folder : std::as_const(folders)) {
        auto logger = std::make_unique<AutoSerialFileLogger>(logFileTemplateIn(folder));
        if (!logger->open()) {
            if (failure.isEmpty())
                failure = logger->errorString();
            continue;
        }
        logFile = logger->currentFilePath();
        if (folder != configured)
            qWarning("Velora: the log folder %s cannot be written (%s); logging to %s instead",
                     qPrintable(configured), qPrintable(failure), qPrintable(folder));
        logSystem->setLogger(logger.release());
        break;
    }
    if (logFile.isEmpty())
        qWarning("Velora: no log folder can be written (%s: %s); nothing is logged",
                 qPrintable(configured), qPrintable(failure));
    logSystem->setLogLevel(static_cast<LogSystem::LogLevel>(configuredLogLevel()));
    logSystem->enableAllLog();
    logSystem->startLog();
    return logFile;
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
        folder = defaultLogFolder();
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

#include "AutoSerialFileLogger.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString DatePlaceholder = QStringLiteral("YYMMDD");
const QString SerialPlaceholder = QStringLiteral("9999");
constexpr int MaxSerial = 9999;
} // namespace

AutoSerialFileLogger::AutoSerialFileLogger(const QString &pathTemplate)
    : pathTemplate(pathTemplate)
{ }

QString AutoSerialFileLogger::expand(const QString &pathTemplate, QDate date, int serial)
{
    // Only the file name carries placeholders; a folder called "9999" must stay what it is.
    const QFileInfo info(pathTemplate);
    QString name = info.fileName();
    name.replace(DatePlaceholder, date.toString(QStringLiteral("yyMMdd")));
    name.replace(SerialPlaceholder, QStringLiteral("%1").arg(serial, 4, 10, QLatin1Char('0')));
    const QString folder = pathTemplate.left(pathTemplate.size() - info.fileName().size());
    return folder + name;
}

bool AutoSerialFileLogger::open()
{
    // Opened already (to see whether the folder can be written): keep that file.
    if (isOpen() && openedFor == QDate::currentDate())
        return true;
    return openForDate(QDate::currentDate());
}

bool AutoSerialFileLogger::openForDate(QDate date)
{
    openedFor = date;
    if (!QFileInfo(pathTemplate).fileName().contains(SerialPlaceholder))
        return openFile(expand(pathTemplate, date, 0), QIODevice::Append);

    QDir().mkpath(QFileInfo(pathTemplate).absolutePath());
    for (int serial = 1; serial <= MaxSerial; ++serial) {
        const QString candidate = expand(pathTemplate, date, serial);
        if (QFileInfo::exists(candidate))
            continue;
        // NewOnly closes the race with another process that picked the same serial.
        if (openFile(candidate, QIODevice::NewOnly))
            return true;
        // Any other failure (a folder that cannot be written) is the same for every serial.
        if (!QFileInfo::exists(candidate))
            return false;
    }
    return false;
}

void AutoSerialFileLogger::write(const QString &line)
{
    const QDate today = QDate::currentDate();
    if (isOpen() && today != openedFor && !openForDate(today))
        qWarning("Log file for %s cannot be opened: %s", qPrintable(today.toString(Qt::ISODate)),
                 qPrintable(errorString()));
    FileBasedLogger::write(line);
}

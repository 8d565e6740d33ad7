#include "DocCamLog.h"

#include <cstdarg>

namespace {

void logFormatted(int moduleId, LogSystem::LogLevel level, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    LogSystem::getSysLogSystem()->log(moduleId, level, QString::fromLatin1(format), args);
    va_end(args);
}

} // namespace

void docCamLog(LogSystem::LogLevel level, const QString &text)
{
    static const int moduleId
            = LogSystem::getSysLogSystem()->registerLoggedModule(QStringLiteral("velora/doccam"));
    // The text goes in as an argument, so a "%" in a device's name is not read as a format.
    logFormatted(moduleId, level, "%s", text.toUtf8().constData());
}

#include "LogModule.h"

#include <cstdarg>

bool LogModule::willLog(int level) const
{
    LogSystem *system = LogSystem::getSysLogSystem();
    if (moduleId.load() == Unregistered)
        moduleId = system->registerLoggedModule(QString::fromUtf8(moduleKey));
    return moduleId.load() != NotLogged && system->isLogging() && level <= system->logLevel();
}

void LogModule::logRaw(int level, const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    LogSystem::getSysLogSystem()->log(moduleId.load(), static_cast<LogSystem::LogLevel>(level),
                                      QString::fromUtf8(format), args);
    va_end(args);
}

#pragma once

#include "SysLogger.h"

/// Sends log lines to Qt's debug output; handy when running from a terminal.
class QDebugLogger : public SysLogger
{
public:
    void write(const QString &line) override;
};

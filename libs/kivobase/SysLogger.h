#pragma once

#include <QString>

/// Where the log system's lines go. The log system serialises every call, so an implementation
/// needs no locking of its own.
class SysLogger
{
public:
    virtual ~SysLogger() = default;

    /// Called when logging starts. Returns false if the destination cannot be used.
    virtual bool open() { return true; }
    /// One complete line, without the line break.
    virtual void write(const QString &line) = 0;
    /// Called when logging stops; must flush everything written so far.
    virtual void close() { }
};

#pragma once

#include "SysLogger.h"

#include <QFile>

/// Writes log lines to one file. Each line is flushed at once so that a crash loses nothing that
/// was logged before it.
class FileBasedLogger : public SysLogger
{
public:
    FileBasedLogger() = default;
    explicit FileBasedLogger(const QString &filePath);
    ~FileBasedLogger() override;

    bool open() override;
    void write(const QString &line) override;
    void close() override;

    /// The file being written, empty while closed.
    QString currentFilePath() const;
    /// Why the last open or write failed.
    QString errorString() const;

protected:
    /// Opens `path` for appending (creating it when needed).
    bool openFile(const QString &path, QIODevice::OpenMode extraMode = {});
    bool isOpen() const { return file.isOpen(); }

private:
    QString configuredPath;
    QFile file;
    bool reportedWriteFailure = false;
};

#include "FileBasedLogger.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

FileBasedLogger::FileBasedLogger(const QString &filePath)
    : configuredPath(filePath)
{ }

FileBasedLogger::~FileBasedLogger()
{
    close();
}

bool FileBasedLogger::open()
{
    return openFile(configuredPath, QIODevice::Append);
}

bool FileBasedLogger::openFile(const QString &path, QIODevice::OpenMode extraMode)
{
    close();
    QDir().mkpath(QFileInfo(path).absolutePath());
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | extraMode)) {
        qWarning("Log file %s cannot be opened: %s", qPrintable(path),
                 qPrintable(file.errorString()));
        return false;
    }
    reportedWriteFailure = false;
    return true;
}

void FileBasedLogger::write(const QString &line)
{
    if (!file.isOpen())
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A full disk must not turn every later log call into a burst of warnings.
        if (!reportedWriteFailure)
            qWarning("Log file %s cannot be written: %s", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
        reportedWriteFailure = true;
    }
}

void FileBasedLogger::close()
{
    if (file.isOpen()) {
        file.flush();
        file.close();
    }
}

QString FileBasedLogger::currentFilePath() const
{
    return file.isOpen() ? file.fileName() : QString();
}

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
    // Not reported here: the caller knows whether another file will be tried.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | extraMode))
        return false;
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

QString FileBasedLogger::errorString() const
{
    return file.errorString();
}

QString FileBasedLogger::currentFilePath() const
{
    return file.isOpen() ? file.fileName() : QString();
}

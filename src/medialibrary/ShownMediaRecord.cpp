#include "ShownMediaRecord.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

void ShownMediaRecord::store(QString &field, const QString &path)
{
    std::lock_guard lock(mutex);
    field = path;
}

QString ShownMediaRecord::load(const QString &field) const
{
    std::lock_guard lock(mutex);
    return field;
}

void ShownMediaRecord::setShownImage(const QString &path)
{
    store(image, path);
}

QString ShownMediaRecord::shownImage() const
{
    return load(image);
}

void ShownMediaRecord::setPlayingVideo(const QString &path)
{
    store(video, path);
}

QString ShownMediaRecord::playingVideo() const
{
    return load(video);
}

void ShownMediaRecord::setThumbnailInProgress(const QString &path)
{
    store(thumbnail, path);
}

QString ShownMediaRecord::thumbnailInProgress() const
{
    return load(thumbnail);
}

bool ShownMediaRecord::isOnScreen(const QString &path) const
{
    if (path.isEmpty())
        return false;
    std::lock_guard lock(mutex);
    return path == image || path == video;
}

void ShownMediaRecord::setRecordingFile(const QString &path)
{
    store(recording, path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

QString ShownMediaRecord::recordingFile() const
{
    return load(recording);
}

bool ShownMediaRecord::isRecording(const QString &path) const
{
    const QString recorded = recordingFile();
    if (recorded.isEmpty() || path.isEmpty())
        return false;
    const QFileInfo candidate(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QFileInfo target(recorded);
    // A folder above the recording: deleting or renaming it takes the file with it.
    const QString folder = candidate.absoluteFilePath() + QLatin1Char('/');
    if (recorded.startsWith(folder))
        return true;
    if (candidate.absolutePath() != target.absolutePath() || candidate.suffix() != target.suffix())
        return false;
    const QString base = target.completeBaseName();
    const QString name = candidate.completeBaseName();
    if (name == base)
        return true;
    static const QRegularExpression partNumber(QStringLiteral("^_\\d+$"));
    return name.startsWith(base) && partNumber.match(name.mid(base.size())).hasMatch();
}

void ShownMediaRecord::setUploadQueue(const QSet<QString> &paths)
{
    std::lock_guard lock(mutex);
    uploads = paths;
}

bool ShownMediaRecord::isInUploadQueue(const QString &path) const
{
    std::lock_guard lock(mutex);
    return !path.isEmpty() && uploads.contains(path);
}

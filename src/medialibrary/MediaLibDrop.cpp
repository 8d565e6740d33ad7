#include "MediaLibDrop.h"

#include "MediaFileTransfer.h"
#include "MediaIntf.h"
#include "MediaLibTableModel.h"

#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

MediaLibDrop::MediaLibDrop(QWidget *view)
    : QObject(view)
    , view(view)
{ }

void MediaLibDrop::startDrag(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    auto *drag = new QDrag(view);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

void MediaLibDrop::enter(QDropEvent *event)
{
    // A drag that Velora started has a source; files from other programs have none.
    if (event->source() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MediaLibDrop::drop(QDropEvent *event, const QModelIndex &under, const QString &shownFolder)
{
    enter(event);
    if (event->isAccepted() && !take(event->mimeData()->urls(), under, shownFolder))
        event->ignore();
}

bool MediaLibDrop::take(const QList<QUrl> &urls, const QModelIndex &under,
                        const QString &shownFolder)
{
    const bool onFolder = under.isValid()
            && under.data(MediaLibTableModel::KindRole).toInt() == MediaIntf::Folder;
    if (!pending.isEmpty() || (under.isValid() && !onFolder))
        return false;
    const QString folderItem
            = onFolder ? under.data(MediaLibTableModel::PathRole).toString() : QString();
    QStringList files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files << url.toLocalFile();
    }
    if (folderItem.isEmpty()) {
        if (files.isEmpty() || shownFolder.isEmpty())
            return false;
        pending = files;
        destination = shownFolder;
        QTimer::singleShot(100, this, &MediaLibDrop::localCopyFile);
        return true;
    }
    for (const QString &file : std::as_const(files)) {
        if (QFileInfo(file).absolutePath() != QFileInfo(folderItem).absoluteFilePath()
            && MediaFileTransfer::mayMove(file, folderItem, view))
            pending << file;
    }
    if (pending.isEmpty())
        return false;
    destination = folderItem;
    QTimer::singleShot(100, this, &MediaLibDrop::localMoveFile);
    return true;
}

void MediaLibDrop::localCopyFile()
{
    const QStringList files = std::exchange(pending, {});
    for (const QString &file : files)
        MediaFileTransfer::copyFile(file, destination, view);
    Q_EMIT contentChanged();
}

void MediaLibDrop::localMoveFile()
{
    const QStringList files = std::exchange(pending, {});
    for (const QString &file : files)
        MediaFileTransfer::moveFile(file, destination, view);
    Q_EMIT contentChanged();
}

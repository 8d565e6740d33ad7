#include "MediaLibDrop.h"
#include "MediaLibTableModel.h"
#include "MediaLibThumbnailView.h"

#include <QApplication>
#include <QDropEvent>
#include <QMouseEvent>

void MediaLibThumbnailView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !current.isValid()
        || (event->position().toPoint() - pressedAt).manhattanLength()
                < QApplication::startDragDistance())
        return;
    dropper->startDrag(current.data(MediaLibTableModel::PathRole).toString());
}

void MediaLibThumbnailView::dragEnterEvent(QDragEnterEvent *event)
{
    MediaLibDrop::enter(event);
}

void MediaLibThumbnailView::dragMoveEvent(QDragMoveEvent *event)
{
    MediaLibDrop::enter(event);
}

void MediaLibThumbnailView::dropEvent(QDropEvent *event)
{
    const int row = proxy ? rowAt(event->position().toPoint()) : -1;
    dropper->drop(event, row < 0 ? QModelIndex() : proxy->index(row, 0), folder);
}

void MediaLibThumbnailView::localCopyFile()
{
    dropper->localCopyFile();
}

void MediaLibThumbnailView::localMoveFile()
{
    dropper->localMoveFile();
}

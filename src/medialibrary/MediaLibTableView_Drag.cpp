#include "MediaLibDrop.h"
#include "MediaLibTableModel.h"
#include "MediaLibTableView.h"

#include <QDropEvent>

void MediaLibTableView::startDrag(Qt::DropActions)
{
    dropper->startDrag(currentIndex().data(MediaLibTableModel::PathRole).toString());
}

void MediaLibTableView::dragEnterEvent(QDragEnterEvent *event)
{
    MediaLibDrop::enter(event);
}

void MediaLibTableView::dragMoveEvent(QDragMoveEvent *event)
{
    MediaLibDrop::enter(event);
}

void MediaLibTableView::dropEvent(QDropEvent *event)
{
    MediaLibTableModel *table = tableModel();
    dropper->drop(event, indexAt(event->position().toPoint()),
                  table ? table->currentFolder() : QString());
}

void MediaLibTableView::localCopyFile()
{
    dropper->localCopyFile();
}

void MediaLibTableView::localMoveFile()
{
    dropper->localMoveFile();
}

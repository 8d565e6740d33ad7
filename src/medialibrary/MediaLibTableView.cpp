#include "MediaLibTableView.h"

#include "DeleteFolderDialog.h"
#include "DeleteInfoDialog.h"
#include "FolderDeletion.h"
#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MediaLibDrop.h"
#include "MediaLibTableModel.h"
#include "ShownMediaRecord.h"

#include <MessageBox.h>

#include <QAbstractProxyModel>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>

MediaLibTableView::MediaLibTableView(QWidget *parent)
    : QTableView(parent)
    , store(MediaInfoStore::getInstance())
    , dropper(new MediaLibDrop(this))
{
    setSelectionBehavior(SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    connect(dropper, &MediaLibDrop::contentChanged, this, &MediaLibTableView::contentChanged);
    setSelectionMode(SingleSelection);
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setWordWrap(false);
    verticalHeader()->hide();
    // Sorting is ours rather than the header's, so that the order survives a reload of the rows.
    setSortingEnabled(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(sortColumn, sortOrder);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            &MediaLibTableView::storeSortingInfo);
    connect(horizontalHeader(), &QHeaderView::sectionCountChanged, this,
            &MediaLibTableView::sizeColumns);
}

MediaLibTableView::~MediaLibTableView()
{
    store->release();
}

void MediaLibTableView::sizeColumns()
{
    // Measured from sample texts, not from the rows: a folder of thousands of files would
    // otherwise be read in full to size the columns.
    QHeaderView *header = horizontalHeader();
    if (header->count() < MediaLibTableModel::ColumnCount)
        return;
    const QFontMetrics metrics = fontMetrics();
    const auto width = [&](const QString &sample) {
        return metrics.horizontalAdvance(sample) + 3 * metrics.averageCharWidth();
    };
    header->setMinimumSectionSize(width(QStringLiteral("Info")));
    header->setSectionResizeMode(MediaLibTableModel::NameColumn, QHeaderView::Stretch);
    header->resizeSection(MediaLibTableModel::TypeColumn, width(QStringLiteral("Folder")));
    header->resizeSection(MediaLibTableModel::DateColumn,
                          width(QLocale().toString(QDateTime(QDate(2028, 12, 28), QTime(23, 59)),
                                                   QLocale::ShortFormat)));
    header->resizeSection(MediaLibTableModel::SizeColumn, width(QStringLiteral("999,999KB")));
    header->resizeSection(MediaLibTableModel::InfoColumn, width(QStringLiteral("Info")));
    header->resizeSection(MediaLibTableModel::DurationColumn, width(QStringLiteral("Duration")));
}

void MediaLibTableView::setProtectedPaths(const QStringList &paths)
{
    protectedList = paths;
}

bool MediaLibTableView::isProtected(const QString &path) const
{
    if (store->shownMedia()->isRecording(path))
        return true;
    const QString item = QDir::cleanPath(path);
    const auto inside = [](const QString &inner, const QString &outer) {
        return inner.startsWith(outer, Qt::CaseInsensitive)
                && (inner.size() == outer.size() || inner.at(outer.size()) == QLatin1Char('/')
                    || outer.endsWith(QLatin1Char('/')));
    };
    for (const QString &protectedPath : protectedList) {
        const QString guarded = QDir::cleanPath(protectedPath);
        if (inside(guarded, item) || inside(item, guarded))
            return true;
    }
    return false;
}

MediaLibTableModel *MediaLibTableView::tableModel() const
{
    QAbstractItemModel *shown = model();
    while (shown) {
        if (auto *table = qobject_cast<MediaLibTableModel *>(shown))
            return table;
        auto *proxy = qobject_cast<QAbstractProxyModel *>(shown);
        shown = proxy ? proxy->sourceModel() : nullptr;
    }
    return nullptr;
}

MediaImpl *MediaLibTableView::unprotected(const QModelIndex &index)
{
    MediaLibTableModel *table = tableModel();
    MediaImpl *media = table ? table->mediaAt(table->toModelIndex(index).row()) : nullptr;
    if (!media || !isProtected(media->path()))
        return media;
    MessageBox::warning(this, QStringLiteral("Warning"),
                        (media->kind() == MediaIntf::Folder ? QStringLiteral("This folder")
                                                            : QStringLiteral("This file"))
                                + QStringLiteral(" is in use"));
    return nullptr;
}

bool MediaLibTableView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Every way into the name editor passes here: the menu, F2 and a click on a selected row.
    const bool starts = (trigger == AllEditTriggers || (editTriggers() & trigger))
            && index.column() == MediaLibTableModel::NameColumn && state() != EditingState;
    if (starts && !unprotected(index))
        return false;
    return QTableView::edit(index, trigger, event);
}

void MediaLibTableView::commitData(QWidget *editor)
{
    MediaLibTableModel *table = tableModel();
    const QPersistentModelIndex edited
            = table ? table->toModelIndex(currentIndex()) : QModelIndex();
    const QString before = edited.data(MediaLibTableModel::PathRole).toString();
    QTableView::commitData(editor);
    const QString after = edited.data(MediaLibTableModel::PathRole).toString();
    if (edited.isValid() && after != before)
        Q_EMIT fileContentChanged(after);
}

void MediaLibTableView::renameCurObj()
{
    edit(currentIndex().siblingAtColumn(MediaLibTableModel::NameColumn), AllEditTriggers, nullptr);
}

void MediaLibTableView::deleteCurObj()
{
    MediaImpl *media = unprotected(currentIndex());
    if (!media)
        return;
    const QString path = media->path();
    const QFileInfo item(path);
    // A link to a folder goes alone; what it points to is not the library's to delete.
    const bool tree = media->kind() == MediaIntf::Folder && !item.isSymLink();
    if (!(tree ? deleteFolder(path) : store->remove(*media)))
        return;
    // A folder may stay, holding the files the user chose to keep.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        tableModel()->removePath(path);
        Q_EMIT fileRemoved(path);
    }
    // The folder's listing changed under the panel's snapshot.
    Q_EMIT contentChanged();
}

bool MediaLibTableView::deleteFolder(const QString &path)
{
    // A folder goes with everything in it: never on a single click, and never half because a
    // file deep inside turned out to be read-only or in use.
    FolderDeletion deletion(path, *store);
    DeleteInfoDialog summary(deletion, this);
    if (summary.exec() != QDialog::Accepted)
        return false;
    deletion.keep(summary.keptKinds());
    if (const QString problem = deletion.problem(); !problem.isEmpty()) {
        MessageBox::information(this, QStringLiteral("Delete"), problem);
        return false;
    }
    DeleteFolderDialog progress(deletion, *store, this);
    progress.startDeletion();
    progress.exec();
    // Whatever went before a failure is gone all the same: the listing changed either way.
    return true;
}

void MediaLibTableView::requestToNewFolder()
{
    MediaLibTableModel *table = tableModel();
    if (table && !table->currentFolder().isEmpty())
        Q_EMIT newFolderRequest(QDir(table->currentFolder()));
}

void MediaLibTableView::storeSortingInfo(int column)
{
    if (column == sortColumn)
        sortOrder = sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        sortOrder = Qt::AscendingOrder;
    sortColumn = column;
    doSorting();
}

void MediaLibTableView::doSorting()
{
    horizontalHeader()->setSortIndicator(sortColumn, sortOrder);
    if (model())
        model()->sort(sortColumn, sortOrder);
}

void MediaLibTableView::contextMenuEvent(QContextMenuEvent *event)
{
    const bool onItem = indexAt(viewport()->mapFromGlobal(event->globalPos())).isValid();
    QMenu menu(this);
    menu.addAction(QStringLiteral("Delete"), this, &MediaLibTableView::deleteCurObj)
            ->setEnabled(onItem);
    menu.addAction(QStringLiteral("Rename"), this, &MediaLibTableView::renameCurObj)
            ->setEnabled(onItem);
    menu.addAction(QStringLiteral("Add new Folder"), this, &MediaLibTableView::requestToNewFolder)
            ->setEnabled(tableModel() && !tableModel()->currentFolder().isEmpty());
    menu.exec(event->globalPos());
}

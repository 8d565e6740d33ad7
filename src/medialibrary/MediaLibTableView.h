#pragma once

#include <QDir>
#include <QStringList>
#include <QTableView>

class MediaImpl;
class MediaLibDrop;
class MediaInfoStore;
class MediaLibTableModel;

/// The media library's list: a sortable table of the rows of a MediaLibTableModel (directly or
/// through proxies), with in-place renaming and a context menu to delete, rename and add a
/// folder.
///
/// Folders a running time lapse writes into, the folders above them and the files in them are
/// protected: the view refuses to delete or rename them, and so the file being recorded and the
/// folders above it.
class MediaLibTableView : public QTableView
{
    Q_OBJECT

public:
    explicit MediaLibTableView(QWidget *parent = nullptr);
    ~MediaLibTableView() override;

    /// Absolute paths (folders or files) that must not be deleted or renamed now.
    void setProtectedPaths(const QStringList &paths);
    QStringList protectedPaths() const { return protectedList; }
    /// Whether `path` is protected, itself, through a folder it is in or a protected path
    /// inside it (compared without regard to case), or is being recorded.
    bool isProtected(const QString &path) const;

    Qt::SortOrder sortingOrder() const { return sortOrder; }
    int sortingColumn() const { return sortColumn; }

    using QTableView::edit;

public Q_SLOTS:
    void renameCurObj();
    void deleteCurObj();
    void requestToNewFolder();
    /// Copies the files dropped onto empty space into the folder shown.
    void localCopyFile();
    /// Moves the file dropped onto a folder into it.
    void localMoveFile();
    /// A click on header section `column`: the same column again turns the order round.
    void storeSortingInfo(int column);
    /// Sorts by the stored column and order, for example after the rows were loaded again.
    void doSorting();

Q_SIGNALS:
    void contentChanged();
    void fileContentChanged(const QString &path);
    void newFolderRequest(const QDir &folder);
    void fileRemoved(const QString &path);

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void commitData(QWidget *editor) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    MediaLibTableModel *tableModel() const;
    /// The object of `index`'s row, or nullptr after telling the user that protection forbids
    /// touching it.
    MediaImpl *unprotected(const QModelIndex &index);
    void sizeColumns();
    /// Asks which files go, checks the whole tree, then deletes; true when anything may have
    /// changed.
    bool deleteFolder(const QString &path);

    MediaInfoStore *store;
    MediaLibDrop *dropper;
    QStringList protectedList;
    int sortColumn = 0;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};

#pragma once

#include <QCache>
#include <QDir>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QWidget>

class MediaInfoStore;
class MediaLibDrop;
class MediaLibTableView;
class MediaThumbnailCreator;
class QLineEdit;
class ThreadManager;
class VideoThumbnailGenerator;

/// The media library's grid: one tile per row of the table, in the table's sorted order, each
/// a picture (the file's thumbnail when one exists, else a default for its kind) with its name
/// below.
///
/// One widget paints the tiles in sight and nothing else, so that a folder of thousands of
/// files scrolls as lightly as a folder of ten; MediaLibScrollArea holds the scroll bars.
/// Deleting goes through the table's own action on the same row, and renaming through the
/// table's model, so that both views follow one set of rules.
class MediaLibThumbnailView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int TileWidth = 96;
    static constexpr int TileHeight = 92;
    static constexpr int PictureSize = 64;

    explicit MediaLibThumbnailView(MediaLibTableView *table, QWidget *parent = nullptr);
    ~MediaLibThumbnailView() override;

    QSortFilterProxyModel *sortModel() const { return proxy; }
    /// The selected tile's row, as an index of the sort model.
    QModelIndex currentIndex() const { return current; }
    void setCurrentIndex(const QModelIndex &index);
    /// Where the tile of sort-model row `row` is painted now.
    QRect tileRect(int row) const;
    int offset() const { return top; }

public Q_SLOTS:
    void changeCurDir(const QString &path);
    /// Shows the rows of `model` in its order from now on.
    void changeOrderFromSortModel(QSortFilterProxyModel *model);
    /// Videos may have thumbnails now: tiles still showing the default look again.
    void reloadVideoThumbnails();
    void setOffset(int value, Qt::Orientation orientation);
    void renameCurObj();
    void deleteCurObj();
    void requestToNewFolder();
    /// Copies the files dropped onto empty space into the folder shown.
    void localCopyFile();
    /// Moves the file dropped onto a folder into it.
    void localMoveFile();

Q_SIGNALS:
    void fileContentChanged(const QString &path);
    void newFolderRequest(const QDir &folder);
    /// Video thumbnails were looked for again after the length of a video was written into its
    /// information: the rows' information is worth reading again.
    void videoThumbnailReloaded();
    void uiRangeChanged(int minimum, int maximum, Qt::Orientation orientation);
    /// A tile was double-clicked or Return pressed on it.
    void itemOpened(const QModelIndex &index);
    /// The view wants to be scrolled to `value`, to bring the current tile into sight.
    void scrollRequested(int value, Qt::Orientation orientation);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int columns() const;
    int leftMargin() const;
    int rowAt(const QPoint &pos) const;
    void relayout();
    void ensureVisible(int row);
    void paintTile(QPainter &painter, int row);
    QPixmap pictureFor(const QModelIndex &index);
    /// Asks for the thumbnail of the picture at `path`; the tile is painted again when it comes.
    void requestThumbnail(const QString &path);
    void thumbnailArrived(const QString &path, const QString &thumbnail);
    /// Deletes the creator that answered for `path`, if it is still the one asked.
    void retire(const QString &path, MediaThumbnailCreator *creator);
    /// Withdraws the requests of tiles scrolled out of sight that have not started, so that the
    /// tiles in sight come next; they ask again when they come back.
    void dropUnseenRequests();
    /// The sort-model rows of the tiles in sight: first, and one past the last.
    std::pair<int, int> rowsInSight() const;
    /// Forgets every request: waiting ones are never made, running ones end unheard.
    void dropThumbnailRequests();
    void finishRename(bool commit);
    /// The table points at the same row, so that its actions act on the tile.
    bool selectInTable();

    MediaLibTableView *table;
    MediaInfoStore *store;
    ThreadManager *threads;
    // The pictures whose thumbnails were asked for while the folder is shown, and the creators
    // of those not answered yet.
    QSet<QString> asked;
    QHash<QString, MediaThumbnailCreator *> creators;
    MediaLibDrop *dropper;
    QPoint pressedAt;
    QPointer<QSortFilterProxyModel> proxy;
    QList<QMetaObject::Connection> proxyConnections;
    QPersistentModelIndex current;
    QString folder;
    int top = 0;
    // Thumbnails by media path; a null picture remembers that a file has none yet.
    QCache<QString, QPixmap> thumbnails;
    // Makes the thumbnails of the folder's videos; set when it wrote a length since the last
    // reload.
    VideoThumbnailGenerator *videos;
    bool durationsWritten = false;
    QLineEdit *nameEditor = nullptr;
    QPersistentModelIndex renamed;
};

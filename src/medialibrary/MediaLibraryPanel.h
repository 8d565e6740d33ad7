#pragma once

#include "MediaImpl.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFrame>
#include <QModelIndex>
#include <QStringList>
#include <QTimer>

#include <memory>

class CaptureIntf;
class MediaInfoStore;
class MediaLibScrollArea;
class MediaLibSortFilterModel;
class MediaLibTableModel;
class MediaLibTableView;
class MediaLibThumbnailView;
class MediaLibraryDatabase;
class MountListener;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class SettingIntf;

/// The media library's panel: one folder, a search result or the drive list ("My Computer"),
/// shown as a sortable table (list mode) or as a grid of tiles (view mode).
///
/// It starts in the media folder and keeps in step with the disk through a watcher on the
/// folder it shows and a poll every 300 ms that catches what the watcher misses. Captures are
/// added to the search index as they are written; folders a time lapse writes into are
/// protected from deletion and renaming until it ends.
class MediaLibraryPanel : public QFrame
{
    Q_OBJECT

public:
    /// The view modes, as stored in the settings.
    enum Mode { ListMode = 0, ThumbnailMode = 1 };

    static constexpr int SyncInterval = 300;
    /// A path this long or longer cannot be created; longer than one less, it is not touched.
    static constexpr int MaxPathLength = 240;

    explicit MediaLibraryPanel(QWidget *parent = nullptr);
    ~MediaLibraryPanel() override;

    /// Shows `path` (a folder, or a link to one). False, after telling the user, when it does
    /// not lead to a folder; the panel then stays where it was.
    bool showFolder(const QString &path);

    QDir currentFolder() const { return currentDir; }
    QString pathText() const { return shownPath; }
    int viewMode() const { return mode; }
    bool isAtMyComputer() const { return atMyComputer; }
    bool isSearching() const { return searchModel != nullptr; }
    QStringList protectedPaths() const { return protectedList; }
    /// The model of the folder or drive list; a search has a model of its own.
    MediaLibTableModel *tableModel() const { return model; }
    MediaLibTableView *tableView() const { return table; }
    MediaLibThumbnailView *thumbnailView() const { return thumbnails; }

Q_SIGNALS:
    /// After every folder change, with the folder's absolute path.
    void curDirChanged(const QString &path);
    void updateRequest();
    void closeRequested();
    /// The presenter dragged the panel's edge to a new width.
    void resized();
    // What the rows of the folder or of a search ask for.
    void showImageRequested(const QString &path);
    void playVideoRequested(MediaIntf *media);
    void showMediaInfo(MediaImpl *media);

public Q_SLOTS:
    void updateFolder();
    void updateFile(const QString &path);
    bool addToDatabase(const QString &path);
    void onfileRemoved(const QString &path);
    void returnPreFolder();
    void changeViewMode();
    void directoryChanged(const QString &path);
    void createSearchResultView();
    void createNewFolder();
    void onUSBDeviceChanged();
    void syncFileSystem();
    void addToNonExistenceFileList(const QString &path);
    void clearNonExistenceFileList();
    void clearMediaFile(const QString &path);
    void appendProtectedFolder(const QString &path);
    void removeProtectedFolder(const QString &path);
    void removeProtectedFolder(const QList<QString> &paths);
    void appendProtectedPath(const QString &path);
    void removeProtectedPath(const QString &path);
    void removeProtectedPath(const QList<QString> &paths);
    bool isFileProhibited(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildLayout();
    void connectViews();
    void connectModel(MediaLibTableModel *rows);
    void connectCapture();
    void readSettings();
    void applyMode();
    /// The rows the views show: the search result's, else the folder's or the drive list's.
    MediaLibTableModel *shownModel() const;
    /// A row of either view was opened: a folder or drive is shown, a file goes to its model.
    void openIndex(const QModelIndex &index);

    void showDriveList();
    /// Back from a search or the drive list to the folder table, with everything a folder
    /// allows switched on again.
    void leaveSpecialState();
    /// Editing, drags and drops, context menus, new folders and going back: what a folder allows
    /// and the drive list does not.
    void allowFolderActions(bool allowed);
    void dropSearch();
    void showCurrentOrder();
    QStringList listEntries() const;
    bool isDriveRoot(const QString &path) const;
    void setPathText(const QString &text, const QString &toolTip);
    void elidePath();

    void dropWatcher();
    void createWatcher();
    void storeWriting(bool resume, bool changed);

    static QString protectedForm(const QString &path);
    static QString folderOf(const QString &path);
    void addProtected(const QString &path);
    void removeProtected(const QString &path);

    SettingIntf *settings;
    MediaInfoStore *store;
    MediaLibraryDatabase *database;
    CaptureIntf *capture;

    QLineEdit *searchEdit = nullptr;
    QToolButton *searchButton = nullptr;
    QToolButton *uploadButton = nullptr;
    QToolButton *closeButton = nullptr;
    QToolButton *backButton = nullptr;
    QLabel *pathLabel = nullptr;
    QPushButton *modeButton = nullptr;
    QToolButton *newFolderButton = nullptr;
    QLabel *grip = nullptr;
    QStackedWidget *stack = nullptr;
    MediaLibTableView *table = nullptr;
    MediaLibScrollArea *thumbnailArea = nullptr;
    MediaLibThumbnailView *thumbnails = nullptr;
    // How the table lets a name be edited in a folder; the drive list allows no editing.
    QAbstractItemView::EditTriggers tableEditTriggers;

    MediaLibTableModel *model = nullptr;
    MediaLibSortFilterModel *sortModel = nullptr;
    MediaLibTableModel *searchModel = nullptr;
    MediaLibSortFilterModel *searchSortModel = nullptr;

    QDir currentDir;
    QStringList snapshot;
    QString shownPath;
    int mode = ListMode;
    bool atMyComputer = false;
    QStringList vanishedFiles;
    QStringList protectedList;
    QFileSystemWatcher *watcher = nullptr;
    QTimer syncTimer;
    std::unique_ptr<MountListener> mountListener;

    // Where a drag of the grip started: the pointer's x on the screen and the width then.
    int gripStartX = 0;
    int gripStartWidth = 0;
};

// Where the panel is and how it keeps in step with the disk: showing a folder, the incremental
// reload behind the watcher and the poll, going back, the drive list and new folders.

#include "MediaLibraryPanel.h"

#include "DriveList.h"
#include "FolderListing.h"
#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MediaLibSortFilterModel.h"
#include "MediaLibTableModel.h"
#include "MediaLibTableView.h"
#include "MediaLibThumbnailView.h"
#include "MediaLibraryDatabase.h"
#include "MountListener.h"

#include <MessageBox.h>

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QToolButton>

#include <algorithm>

namespace {

const QString FolderToolTip = QStringLiteral("Current directory path");

} // namespace

QStringList MediaLibraryPanel::listEntries() const
{
    // Everything, hidden names included: the poll compares counts, and any change is a reason
    // to look again.
    return FolderListing::names(currentDir.absolutePath());
}

bool MediaLibraryPanel::showFolder(const QString &path)
{
    const QFileInfo entry(path);
    const QString target = entry.isSymLink() ? entry.symLinkTarget() : path;
    if (!QFileInfo(target).isDir()) {
        MessageBox::warning(this, QStringLiteral("File error"),
                            QStringLiteral("Path does not exist"));
        return false;
    }
    syncTimer.stop();
    currentDir = QDir(QDir(target).absolutePath());
    // One reading of the folder for the snapshot, the rows and the index.
    const FolderListing listing(currentDir.absolutePath());
    snapshot = listing.allNames();
    leaveSpecialState();
    model->loadFolder(currentDir, listing);
    table->doSorting();
    setPathText(currentDir.absolutePath(), FolderToolTip);

    dropWatcher();
    database->syncFolderInBackground(currentDir, listing.fileNames());
    clearNonExistenceFileList();
    createWatcher();

    thumbnails->changeCurDir(currentDir.absolutePath());
    showCurrentOrder();
    syncTimer.start();
    Q_EMIT curDirChanged(currentDir.absolutePath());
    return true;
}

void MediaLibraryPanel::allowFolderActions(bool allowed)
{
    table->setEditTriggers(allowed ? tableEditTriggers : QAbstractItemView::NoEditTriggers);
    table->setDragEnabled(allowed);
    table->setAcceptDrops(allowed);
    const Qt::ContextMenuPolicy menus = allowed ? Qt::DefaultContextMenu : Qt::NoContextMenu;
    table->setContextMenuPolicy(menus);
    thumbnails->setContextMenuPolicy(menus);
    newFolderButton->setEnabled(allowed);
    backButton->setEnabled(allowed);
}

void MediaLibraryPanel::leaveSpecialState()
{
    dropSearch();
    atMyComputer = false;
    mountListener.reset();
    allowFolderActions(true);
}

void MediaLibraryPanel::updateFolder()
{
    if (searchModel || atMyComputer)
        return;
    syncTimer.stop();
    if (!currentDir.exists()) {
        returnPreFolder();
        return;
    }
    const QStringList entries = listEntries();
    QSet<QString> gone(snapshot.cbegin(), snapshot.cend());
    for (const QString &name : entries) {
        if (!gone.remove(name))
            model->addPath(currentDir.filePath(name));
    }
    if (!gone.isEmpty()) {
        // Rows cannot be matched to what vanished without listing anyway: start afresh.
        showFolder(currentDir.absolutePath());
        return;
    }
    snapshot = entries;
    syncTimer.start();
}

void MediaLibraryPanel::updateFile(const QString &path)
{
    if (searchModel || atMyComputer)
        return;
    const QFileInfo file(path);
    const QString folder = currentDir.absolutePath();
    if (file.exists() && (file.absoluteFilePath() == folder || file.absolutePath() == folder))
        showFolder(folder);
}

void MediaLibraryPanel::syncFileSystem()
{
    if (searchModel || atMyComputer)
        return;
    if (!currentDir.exists())
        returnPreFolder();
    else if (listEntries().size() != snapshot.size())
        updateFolder();
}

void MediaLibraryPanel::directoryChanged(const QString &path)
{
    if (QDir(path).absolutePath() == currentDir.absolutePath())
        updateFolder();
}

void MediaLibraryPanel::returnPreFolder()
{
    if (searchModel) {
        if (atMyComputer) {
            showDriveList();
            return;
        }
        if (currentDir.exists()) {
            showFolder(currentDir.absolutePath());
            return;
        }
    }
    if (atMyComputer)
        return;
    const QString path = currentDir.absolutePath();
    if (isDriveRoot(path)) {
        showDriveList();
        return;
    }
    // A folder deleted from outside may have taken its parents with it.
    QString up = QFileInfo(path).absolutePath();
    while (!QFileInfo(up).isDir())
        up = QFileInfo(up).absolutePath();
    showFolder(up);
}

bool MediaLibraryPanel::isDriveRoot(const QString &path) const
{
    if (path == QDir::rootPath())
        return true;
    const QList<Drive> drives = listDrives();
    return std::any_of(drives.cbegin(), drives.cend(), [&path](const Drive &drive) {
        return QDir::cleanPath(drive.rootPath) == path;
    });
}

void MediaLibraryPanel::showDriveList()
{
    syncTimer.stop();
    dropWatcher();
    dropSearch();
    if (!mountListener) {
        mountListener = std::make_unique<MountListener>();
        connect(mountListener.get(), &MountListener::usbDeviceChanged, this,
                &MediaLibraryPanel::onUSBDeviceChanged);
    }
    atMyComputer = true;
    allowFolderActions(false);
    model->loadDrives(listDrives());
    table->doSorting();
    setPathText(QStringLiteral("My Computer"), FolderToolTip);
    thumbnails->changeCurDir(QString());
    showCurrentOrder();
}

void MediaLibraryPanel::onUSBDeviceChanged()
{
    if (atMyComputer && !searchModel)
        model->loadDrives(listDrives());
}

void MediaLibraryPanel::createNewFolder()
{
    if (atMyComputer || !currentDir.exists())
        return;
    const QString base = currentDir.filePath(QStringLiteral("NewFolder"));
    QString path = base;
    for (int counter = 0; QFileInfo::exists(path); ++counter)
        path = QStringLiteral("%1_%2").arg(base).arg(counter);
    if (path.size() >= MaxPathLength)
        MessageBox::warning(this, QStringLiteral("Error"), QStringLiteral("Path is invalid"));
    else if (!QDir().mkdir(path))
        MessageBox::warning(this, QStringLiteral("Error"),
                            QStringLiteral("Create new folder failed"));
    // The watcher brings the new folder into the views.
}

void MediaLibraryPanel::addToNonExistenceFileList(const QString &path)
{
    vanishedFiles.append(path);
}

void MediaLibraryPanel::clearNonExistenceFileList()
{
    while (!vanishedFiles.isEmpty())
        clearMediaFile(vanishedFiles.takeFirst());
}

void MediaLibraryPanel::clearMediaFile(const QString &path)
{
    // Back again since the index missed it: its information is still wanted, and removing a
    // present file would delete it.
    const QFileInfo file(path);
    if (file.exists() || file.isSymLink())
        return;
    MediaImpl media(path, MediaLibTableModel::kindOfPath(path));
    store->remove(media);
}

void MediaLibraryPanel::dropWatcher()
{
    if (!watcher)
        return;
    // Possibly inside its own signal: deleted once it has returned.
    disconnect(watcher, nullptr, this, nullptr);
    watcher->deleteLater();
    watcher = nullptr;
}

void MediaLibraryPanel::createWatcher()
{
    dropWatcher();
    if (atMyComputer)
        return;
    watcher = new QFileSystemWatcher(QStringList{currentDir.absolutePath()}, this);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this,
            &MediaLibraryPanel::directoryChanged);
}

void MediaLibraryPanel::storeWriting(bool resume, bool changed)
{
    // The store renames inside the folder shown: its own changes are not news to the watcher.
    if (!resume) {
        dropWatcher();
        return;
    }
    createWatcher();
    if (changed)
        QTimer::singleShot(50, this, &MediaLibraryPanel::updateFolder);
}

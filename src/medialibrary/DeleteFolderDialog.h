#pragma once

#include <QDialog>
#include <QStringList>

class FolderDeletion;
class MediaInfoStore;
class QProgressBar;

/// Deletes what a FolderDeletion chose, one file per turn of the event loop so that the window
/// goes on while a large tree goes, and shows how far it got.
///
/// Every file goes through the media information store, so that its information, thumbnail and
/// index rows go with it. The dialog closes accepted when everything chosen is gone, rejected
/// at the first file or folder that would not go (the user has been told why).
class DeleteFolderDialog : public QDialog
{
    Q_OBJECT

public:
    DeleteFolderDialog(const FolderDeletion &deletion, MediaInfoStore &store,
                       QWidget *parent = nullptr);

public Q_SLOTS:
    void startDeletion();

private:
    void deleteNext();
    bool removeFile(const QString &path);
    bool removeFolder(const QString &path);

    MediaInfoStore &store;
    QStringList files;
    QStringList folders;
    qsizetype done = 0;
    QProgressBar *progress;
};

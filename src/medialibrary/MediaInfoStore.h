#pragma once

#include <SharedComponent.h>

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class MediaIntf;
class MediaLibraryDatabase;
class ShownMediaRecord;

/// Keeps what the user tells about media files outside the user's folders, and removes and
/// renames media files together with it.
///
/// Every file or folder P has a mirror path below the data folder's "Kivo" base that repeats
/// P's folders; P's information file is the mirror path plus ".kvrd", its thumbnail the mirror
/// path plus ".png". The store also owns the record of the files in use (the picture shown, the
/// video playing, the file being thumbnailed), which it refuses to remove or rename.
///
/// One store per process: getInstance() and release().
class MediaInfoStore : public SharedComponent<MediaInfoStore>
{
    friend SharedComponent;

public:
    /// Called with resume false before a rename, so that the library stops watching the folder,
    /// and with resume true after it; changed says whether the library must reload.
    using WatcherCallback = std::function<void(bool resume, bool changed)>;

    /// The longest name a file or folder may be given, in characters.
    static constexpr int MaxNameLength = 255;

    void release() { releaseShared(); }

    QString mirrorPath(const QString &path) const;
    QString infoFilePath(const QString &path) const;
    QString thumbnailPath(const QString &path) const;
    /// Creates the mirror folder of `folder` if it is missing.
    void prepareFolder(const QString &folder) const;

    /// Fills `media` from its information file; without one its fields stay as they are.
    void readInformation(MediaIntf &media) const;
    /// Gives the search index the object's keywords, then writes its information file. A file
    /// that cannot be written is left as it was.
    bool writeInformation(const MediaIntf &media) const;
    /// The same for several objects, with one update of the search index for all of them:
    /// each update waits for the disk, so many single writes would hold the caller long.
    bool writeInformation(const QList<const MediaIntf *> &media) const;
    /// Writes the information files alone, for a change the search index does not hold, such as
    /// a length: the index's commit waits for the disk, and for its indexing thread while a new
    /// folder is being indexed.
    bool writeInformationFiles(const QList<const MediaIntf *> &media) const;

    /// Deletes the file or folder with its information, thumbnail and index rows, or tells the
    /// user why not. True when it is gone.
    bool remove(MediaIntf &media);
    /// Gives the file or folder the name `newName` (a file keeps its suffix) and carries its
    /// information along, or tells the user why not. `notify` asks the library to reload
    /// afterwards. True when the object now has the new name.
    bool rename(MediaIntf &media, const QString &newName, bool notify);

    /// The text that refuses to move the file at `path` now (queued for upload, shown, played,
    /// thumbnailed), or an empty text when it may move.
    QString moveRefusal(const QString &path) const;
    /// Gives the information, thumbnail and index rows of the file or folder that was at
    /// `oldPath` to `moved`, the same one at its new path; whatever that path had before is
    /// forgotten.
    void carry(const MediaIntf &moved, const QString &oldPath) const;

    /// The message that refuses `name`, or an empty text when a file may be called so.
    static QString nameProblem(const QString &name);

    void setWatcherCallback(WatcherCallback callback);

    /// The record the image viewer, the video player and the thumbnail maker write to.
    std::shared_ptr<ShownMediaRecord> shownMedia() const { return record; }

private:
    MediaInfoStore();
    ~MediaInfoStore();

    /// Whether `media` cannot be changed now; if so, tells why under `failure` (or under a
    /// title of its own).
    bool refusedAsBusy(const MediaIntf &media, const QString &failure) const;
    void forget(const MediaIntf &media) const;
    void callWatcher(bool resume, bool changed) const;

    QString base;
    MediaLibraryDatabase *database;
    std::shared_ptr<ShownMediaRecord> record;
    WatcherCallback watcher;
};

#pragma once

#include <SharedComponent.h>

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

class FolderIndexer;
class QSqlQuery;
struct sqlite3;

/// The media library's search index: a SQLite file beside the default media folder that knows
/// every file the library has shown and the keywords the user gave them. It is only a cache of
/// the disk; every read reconciles it with the files that exist and drops the rows of those that
/// are gone. Paths are stored and compared in their real case; keywords are stored lower-cased
/// and matched without regard to case.
///
/// One instance per process, reached with instance() and given back with release(). An index
/// that cannot be opened, or is damaged, leaves the library working without search: every
/// operation then returns false or an empty list.
class MediaLibraryDatabase : public QObject,
                             private SharedComponent<MediaLibraryDatabase, std::mutex>
{
    Q_OBJECT
    friend SharedComponent;

public:
    /// Takes one reference to the shared index, opening it on first use.
    static MediaLibraryDatabase *instance();
    /// Gives back one reference; the last closes the index.
    void release();

    /// Indexes the files of `folder` not yet indexed and drops those that vanished, emitting
    /// fileNotExists for each. False when the folder does not exist or a statement failed.
    bool syncFolder(const QDir &folder);
    /// The same for a folder the caller has just listed: `fileNames` are its files (hidden ones
    /// left out). Vanished files are dropped and reported before it returns; the new ones are
    /// indexed a chunk at a time on a thread of the index. A search meanwhile finds the files
    /// indexed so far; files not yet indexed when the index is closed are found again at the
    /// folder's next showing.
    bool syncFolderInBackground(const QDir &folder, const QStringList &fileNames);
    /// Files handed to syncFolderInBackground() are still being indexed.
    bool isIndexing() const;
    /// Replaces the rows of `file` by its name row and one row per keyword.
    bool setFileKeywords(const QFileInfo &file, const QStringList &keywords);
    /// The same for several files in one transaction. False when one of them is missing.
    bool setFileKeywords(const QList<std::pair<QFileInfo, QStringList>> &files);
    bool removeFile(const QFileInfo &file);
    /// Drops the rows of `folder` and of the folders below it; a sibling whose name merely begins
    /// with the same text keeps its rows.
    bool removeFolder(const QDir &folder);
    /// Moves the rows of `oldFile`, keywords included, to `newFile`.
    bool renameFile(const QFileInfo &newFile, const QFileInfo &oldFile);
    /// Moves the rows of folder `oldPath` and of the folders below it under `newPath`.
    bool moveFolder(const QString &newPath, const QString &oldPath);
    /// Absolute paths, each once, of the existing files that have one row (name or keyword)
    /// containing every keyword. Keywords come from parseKeywords. Rows of vanished files are
    /// dropped on the way.
    QStringList search(const QStringList &keywords);

Q_SIGNALS:
    void fileNotExists(const QString &path);

private:
    MediaLibraryDatabase();
    ~MediaLibraryDatabase() override;

    bool usable() const { return opened && tablesReady; }
    void openDatabase();
    void createTables();
    void migrate(QSqlQuery &query);
    bool addTrigramIndex(QSqlQuery &query);
    void setAside(const QString &reason);
    void closeDatabase();
    bool removeRows(const QString &dirPath, const QString &fileName, const QString &suffix);
    /// Takes the file out of the indexing thread's queue; true when it was waiting there.
    bool forgetWaiting(const QString &dirPath, const QString &name);
    bool sync(const QString &dirPath, QStringList names, bool inBackground);
    void writeNextChunk();

    static std::mutex &databaseMutex();

    bool opened = false;
    bool tablesReady = false;
    bool trigramReady = false;
    // The connection's own handle, for the indexing thread: Qt's connection object belongs to
    // the thread that opened it.
    sqlite3 *nativeDb = nullptr;
    // Destroyed before the connection is closed: its thread writes through the connection.
    std::unique_ptr<FolderIndexer> indexer;
};

/// Turns the search box's text into keywords for search(): split at commas, each part trimmed
/// and kept once (compared case-sensitively), with "_", "%", "[" and "]" escaped by a backslash.
QStringList parseKeywords(const QString &text);

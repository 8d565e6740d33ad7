#include "MediaLibraryDatabase.h"

#include "FolderIndexer.h"

#include <LogModule.h>

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <initializer_list>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const LogModule mediaDbLog("velora/medialibrary");

const QString Connection = QStringLiteral("connSQLite");
const QString IndexFileName = QStringLiteral("MediaSearch_v1.db3");
const QString Table = QStringLiteral("files");

// PRAGMA user_version of the index file: 0 is the table as first created, 1 adds the explicit
// row id the trigram index is keyed on, 2 adds the trigram index and the triggers feeding it.
constexpr int VersionWithId = 1;
constexpr int VersionWithTrigrams = 2;

// Files indexed per transaction by the indexing thread: a chunk holds the database mutex for a
// few milliseconds (the commit included), which is what the window may wait when it needs the
// index meanwhile.
constexpr qsizetype IndexChunk = 100;

// SQLite's native codes for a file that is not a database or is damaged.
const QString NotADatabase = QStringLiteral("26");
const QString Corrupt = QStringLiteral("11");

const QString DeleteFile
        = QStringLiteral("delete from '%1' where dirPath = ? and (fileName = ? and suffix = ?)");

// Every LIKE carries the escape so that a keyword's escaped "%" or "_" is literal wherever it
// stands among several keywords.
const QString KeywordLike = QStringLiteral(" keyword like ? escape '\\'");

/// A file as the index knows it: folder, complete base name and last suffix, in real case.
struct FileKey
{
    QString dirPath;
    QString fileName;
    QString suffix;

    QString name() const { return suffix.isEmpty() ? fileName : fileName + u'.' + suffix; }
    QString path() const { return (dirPath.endsWith(u'/') ? dirPath : dirPath + u'/') + name(); }
};

QString cleanFolder(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

// The same split as QFileInfo::completeBaseName() and suffix(), without touching the disk.
FileKey keyOf(const QString &dirPath, const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    // An empty suffix, not a null one: null would be stored as NULL, which no "=" ever matches.
    if (dot < 0)
        return {dirPath, name, QStringLiteral("")};
    return {dirPath, name.left(dot), name.mid(dot + 1)};
}

FileKey keyOf(const QFileInfo &file)
{
    return keyOf(cleanFolder(file.absolutePath()), file.fileName());
}

QString indexFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return cleanFolder(QStringLiteral("%1/Velora/Media Library/").arg(documents));
}

QString indexPath()
{
    return indexFolder() + u'/' + IndexFileName;
}

// Rows of `folder` and of the folders below it. A byte range on dirPath rather than LIKE: LIKE
// ignores the case of ASCII letters, and "Trip" must not take "trip"'s rows; the range also uses
// the dirPath index. Everything from "<folder>/" up to "<folder>0" ('0' follows '/') begins with
// "<folder>/".
const QString InFolder = QStringLiteral("(dirPath = ? or (dirPath >= ? and dirPath < ?))");

QVariantList folderValues(const QString &folder)
{
    const QString below = folder.endsWith(u'/') ? folder : folder + u'/';
    return {folder, below, QString(below.chopped(1) + u'0')};
}

bool exec(QSqlQuery &query, const QString &statement, const QVariantList &values = {})
{
    if (query.prepare(statement)) {
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (query.exec())
            return true;
    }
    mediaDbLog.log(LogSystem::LogError, "MediaLibraryDatabase - %s: %s", qPrintable(statement),
                   qPrintable(query.lastError().text()));
    return false;
}

bool execAll(QSqlQuery &query, std::initializer_list<QString> statements)
{
    for (const QString &statement : statements) {
        if (!exec(query, statement))
            return false;
    }
    return true;
}

// The trigram pre-filter for `keywords`: every literal stretch of three or more characters
// between the wildcards of each LIKE pattern, as quoted FTS5 phrases joined by AND. Any row the
// LIKE conditions accept contains all of them, so the pre-filter never loses a row. Empty when no
// keyword has such a stretch.
QString trigramFilter(const QStringList &keywords)
{
    QStringList phrases;
    const auto addRun = [&phrases](QString &run) {
        // The trigram tokenizer counts characters, not UTF-16 units; a shorter phrase matches
        // nothing at all.
        if (run.toUcs4().size() >= 3)
            phrases << u'"' + run.replace(u'"', QStringLiteral("\"\"")) + u'"';
        run.clear();
    };
    for (const QString &keyword : keywords) {
        const QString pattern = keyword.toLower();
        QString run;
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            const QChar c = pattern.at(i);
            if (c == u'\\' && i + 1 < pattern.size())
                run += pattern.at(++i);
            else if (c == u'\\' || c == u'%' || c == u'_' || c.isNull())
                addRun(run);
            else
                run += c;
        }
        addRun(run);
    }
    return phrases.join(QStringLiteral(" AND "));
}

struct StatementDeleter
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// The connection's own SQLite handle. Qt's driver links the system's SQLite, the same library
// this file is linked with.
sqlite3 *nativeHandle(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

Statement prepare(sqlite3 *handle, const QString &statement, const QVariantList &values)
{
    sqlite3_stmt *prepared = nullptr;
    if (!handle
        || sqlite3_prepare_v2(handle, statement.toUtf8().constData(), -1, &prepared, nullptr)
                != SQLITE_OK) {
        mediaDbLog.log(LogSystem::LogError, "MediaLibraryDatabase - %s: %s", qPrintable(statement),
                       handle ? sqlite3_errmsg(handle) : "no SQLite connection");
        sqlite3_finalize(prepared);
        return {};
    }
    Statement result(prepared);
    for (int i = 0; i < values.size(); ++i) {
        const QByteArray value = values.at(i).toString().toUtf8();
        sqlite3_bind_text(prepared, i + 1, value.constData(), int(value.size()), SQLITE_TRANSIENT);
    }
    return result;
}

QByteArrayView column(sqlite3_stmt *statement, int index)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, index));
    return {text, sqlite3_column_bytes(statement, index)};
}

// Name rows for `names` of folder `dirPath`, inside the caller's transaction. False when one of
// them could not be written.
bool insertNameRows(sqlite3 *handle, const QString &dirPath, const QStringList &names)
{
    const Statement insert = prepare(handle,
                                     QStringLiteral("insert into '%1'(dirPath, fileName, suffix, "
                                                    "keyword, role) values(?, ?, ?, ?, 0)")
                                             .arg(Table),
                                     {});
    if (!insert)
        return false;
    const QByteArray folder = dirPath.toUtf8();
    bool ok = true;
    for (const QString &name : names) {
        const FileKey key = keyOf(dirPath, name);
        const QByteArray values[]
                = {key.fileName.toUtf8(), key.suffix.toUtf8(), name.toLower().toUtf8()};
        sqlite3_bind_text(insert.get(), 1, folder.constData(), int(folder.size()), SQLITE_STATIC);
        for (int i = 0; i < 3; ++i)
            sqlite3_bind_text(insert.get(), i + 2, values[i].constData(), int(values[i].size()),
                              SQLITE_STATIC);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) {
            mediaDbLog.log(LogSystem::LogError, "MediaLibraryDatabase - inserting %s: %s",
                           qPrintable(key.path()), sqlite3_errmsg(handle));
            ok = false;
        }
        sqlite3_reset(insert.get());
    }
    return ok;
}

// A file a search found, as the path the system is asked about.
struct Candidate
{
    Candidate(QByteArrayView dirPath, QByteArrayView fileName, QByteArrayView suffix)
        : dirLength(dirPath.size())
    {
        path.reserve(dirPath.size() + fileName.size() + suffix.size() + 2);
        path += dirPath;
        if (!dirPath.endsWith('/'))
            path += '/';
        nameStart = path.size();
        path += fileName;
        nameEnd = path.size();
        if (!suffix.isEmpty())
            path += '.' + suffix;
    }
    FileKey key() const
    {
        const QByteArrayView bytes(path);
        return {QString::fromUtf8(bytes.first(dirLength)),
                QString::fromUtf8(bytes.sliced(nameStart, nameEnd - nameStart)),
                QString::fromUtf8(bytes.sliced(std::min(nameEnd + 1, bytes.size())))};
    }

    QByteArray path;
    qsizetype dirLength;
    qsizetype nameStart = 0;
    qsizetype nameEnd = 0;
    QString existing; // the path, when the file is there
};

// Enough files that handing them to the second thread costs little beside checking them.
constexpr size_t CheckBatch = 256;

/// Checks that the files a search found still exist, on a second thread while SQLite is still
/// producing rows: on a large result the two take about as long as each other. Batches are
/// checked by whichever thread is free and read back in the order they came.
struct ExistenceChecks
{
    ~ExistenceChecks()
    {
        if (helper.joinable())
            helper.join();
    }

    void add(std::vector<Candidate> &&batch)
    {
        if (batch.empty())
            return;
        bool first = false;
        {
            std::lock_guard lock(mutex);
            first = batches.empty() && batch.size() == CheckBatch;
            batches.push_back(std::move(batch));
        }
        batch.clear();
        // Started at the first full batch: a small result is checked faster than a thread starts.
        // Without a thread to spare, finish() checks everything.
        if (first) {
            try {
                helper = std::thread([this] { checkAll(); });
            } catch (const std::system_error &) { }
        }
        changed.notify_one();
    }

    void finish(QStringList &found, QList<FileKey> &vanished)
    {
        {
            std::lock_guard lock(mutex);
            complete = true;
        }
        changed.notify_all();
        checkAll();
        if (helper.joinable())
            helper.join();
        for (const std::vector<Candidate> &batch : batches) {
            for (const Candidate &candidate : batch) {
                if (candidate.existing.isNull())
                    vanished << candidate.key();
                else
                    found << candidate.existing;
            }
        }
    }

private:
    void checkAll()
    {
        std::unique_lock lock(mutex);
        while (claimed < batches.size() || !complete) {
            if (claimed == batches.size()) {
                changed.wait(lock);
                continue;
            }
            std::vector<Candidate> &batch = batches[claimed++];
            lock.unlock();
            // One system call on the bytes as stored: a search checks tens of thousands of
            // files. access() follows symbolic links as QFileInfo::exists() does, so a dangling
            // link counts as gone; no file name holds a NUL, which would cut the path short.
            for (Candidate &candidate : batch) {
                if (!candidate.path.contains('\0')
                    && ::access(candidate.path.constData(), F_OK) == 0)
                    candidate.existing = QString::fromUtf8(candidate.path);
            }
            lock.lock();
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Candidate>> batches; // a deque: a batch stays put while more come
    size_t claimed = 0;
    bool complete = false;
    std::thread helper;
};

} // namespace

MediaLibraryDatabase *MediaLibraryDatabase::instance()
{
    return getInstance();
}

void MediaLibraryDatabase::release()
{
    releaseShared();
}

std::mutex &MediaLibraryDatabase::databaseMutex()
{
    static std::mutex mutex;
    return mutex;
}

MediaLibraryDatabase::MediaLibraryDatabase()
{
    openDatabase();
    createTables();
}

MediaLibraryDatabase::~MediaLibraryDatabase()
{
    closeDatabase();
}

void MediaLibraryDatabase::openDatabase()
{
    std::lock_guard lock(databaseMutex());
    const QString path = indexPath();
    QDir().mkpath(indexFolder());
    QSqlDatabase db = QSqlDatabase::contains(Connection)
            ? QSqlDatabase::database(Connection, false)
            : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
    db.setDatabaseName(path);
    if (!db.open()) {
        mediaDbLog.log(LogSystem::LogCritical,
                       "MediaLibraryDatabase::openDatabase - %s cannot be opened (%s); search is "
                       "off",
                       qPrintable(path), qPrintable(db.lastError().text()));
        return;
    }
    // SQLite opens any file without complaint; the first read finds out what it holds.
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("pragma quick_check")) && query.next()
        && query.value(0).toString() == QLatin1String("ok")) {
        // A rollback journal, never WAL: its extra files would stand among the media.
        query.exec(QStringLiteral("pragma journal_mode = delete"));
        opened = true;
        return;
    }
    const QSqlError error = query.lastError();
    const bool damaged = error.type() == QSqlError::NoError || error.nativeErrorCode() == Corrupt
            || error.nativeErrorCode() == NotADatabase;
    const QString reason
            = error.type() == QSqlError::NoError ? query.value(0).toString() : error.text();
    query = QSqlQuery();
    db.close();
    if (damaged) {
        setAside(reason);
    } else {
        mediaDbLog.log(LogSystem::LogCritical,
                       "MediaLibraryDatabase::openDatabase - %s cannot be read (%s); search is off",
                       qPrintable(path), qPrintable(reason));
    }
}

void MediaLibraryDatabase::setAside(const QString &reason)
{
    const QString path = indexPath();
    const QString stamp = path + QStringLiteral(".corrupt-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = stamp;
    for (int copy = 2; QFile::exists(kept) && copy < 100; ++copy)
        kept = stamp + u'-' + QString::number(copy);
    // Its journal belongs to the damaged file; left behind, it would be played into the new one.
    const QString journal = path + QStringLiteral("-journal");
    if (QFile::exists(journal))
        QFile::rename(journal, kept + QStringLiteral("-journal"));
    if (QFile::rename(path, kept))
        mediaDbLog.log(LogSystem::LogCritical,
                       "MediaLibraryDatabase::openDatabase - %s is damaged (%s); it was kept as %s "
                       "and a new index is made at the next start; search is off until then",
                       qPrintable(path), qPrintable(reason), qPrintable(kept));
    else
        mediaDbLog.log(LogSystem::LogCritical,
                       "MediaLibraryDatabase::openDatabase - %s is damaged (%s) and could not be "
                       "moved aside; search is off",
                       qPrintable(path), qPrintable(reason));
}

void MediaLibraryDatabase::createTables()
{
    // No second attempt to open: a damaged index set aside is rebuilt at the next start, and
    // until then the library goes without search.
    if (tablesReady || !opened)
        return;
    std::lock_guard lock(databaseMutex());
    QSqlQuery query(QSqlDatabase::database(Connection, true));
    // On an existing index these fail, harmlessly.
    query.exec(QStringLiteral("create table '%1'(dirPath varchar, fileName varchar, suffix "
                              "varchar, keyword varchar, role integer)")
                       .arg(Table));
    query.exec(QStringLiteral("create index '%1' on '%2'(keyword)")
                       .arg(QStringLiteral("files_keyword_index"), Table));
    query.exec(QStringLiteral("create index '%1' on '%2'(dirPath)")
                       .arg(QStringLiteral("files_dir_index"), Table));
    migrate(query);
    nativeDb = nativeHandle(QSqlDatabase::database(Connection, true));
    tablesReady = true;
}

void MediaLibraryDatabase::migrate(QSqlQuery &query)
{
    int version = 0;
    if (query.exec(QStringLiteral("pragma user_version")) && query.next())
        version = query.value(0).toInt();
    query.finish();
    if (version > VersionWithTrigrams) {
        mediaDbLog.log(LogSystem::LogWarning,
                       "MediaLibraryDatabase::migrate - index version %d is newer than this "
                       "program's; searches scan the table",
                       version);
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(Connection, true);
    if (version < VersionWithId) {
        // SQLite cannot add a primary key to a table, so the rows move to a new one. The id goes
        // last: the specified columns keep their order.
        db.transaction();
        const bool moved = execAll(
                query,
                {QStringLiteral("create table 'files_new'(dirPath varchar, fileName varchar, "
                                "suffix varchar, keyword varchar, role integer, id integer "
                                "primary key)"),
                 QStringLiteral("insert into 'files_new'(dirPath, fileName, suffix, keyword, "
                                "role) select dirPath, fileName, suffix, keyword, role from "
                                "'files'"),
                 QStringLiteral("drop table 'files'"),
                 QStringLiteral("alter table 'files_new' rename to 'files'"),
                 QStringLiteral("create index 'files_keyword_index' on 'files'(keyword)"),
                 QStringLiteral("create index 'files_dir_index' on 'files'(dirPath)"),
                 QStringLiteral("pragma user_version = %1").arg(VersionWithId)});
        if (!moved) {
            db.rollback();
            return;
        }
        db.commit();
    }
    trigramReady = version == VersionWithTrigrams || addTrigramIndex(query);
}

bool MediaLibraryDatabase::addTrigramIndex(QSqlQuery &query)
{
    QSqlDatabase db = QSqlDatabase::database(Connection, true);
    db.transaction();
    // The trigram index holds no copy of the keywords: it reads them from 'files' by id.
    const bool added = execAll(
            query,
            {QStringLiteral("create virtual table files_fts using fts5(keyword, content='files', "
                            "content_rowid='id', tokenize='trigram')"),
             QStringLiteral("create trigger files_fts_insert after insert on files begin "
                            "insert into files_fts(rowid, keyword) values (new.id, new.keyword); "
                            "end"),
             QStringLiteral("create trigger files_fts_delete after delete on files begin "
                            "insert into files_fts(files_fts, rowid, keyword) "
                            "values ('delete', old.id, old.keyword); end"),
             QStringLiteral("create trigger files_fts_update after update of keyword, id on files "
                            "begin insert into files_fts(files_fts, rowid, keyword) "
                            "values ('delete', old.id, old.keyword); "
                            "insert into files_fts(rowid, keyword) values (new.id, new.keyword); "
                            "end"),
             QStringLiteral("insert into files_fts(files_fts) values ('rebuild')"),
             QStringLiteral("pragma user_version = %1").arg(VersionWithTrigrams)});
    if (added) {
        db.commit();
        return true;
    }
    db.rollback();
    mediaDbLog.log(LogSystem::LogWarning,
                   "MediaLibraryDatabase::addTrigramIndex - SQLite offers no FTS5 trigram index; "
                   "searches scan the table");
    return false;
}

void MediaLibraryDatabase::closeDatabase()
{
    // Without the lock: its thread may be waiting for it to write its last chunk.
    indexer.reset();
    std::lock_guard lock(databaseMutex());
    if (!opened)
        return;
    QSqlDatabase::database(Connection, false).close();
    QSqlDatabase::removeDatabase(Connection);
    nativeDb = nullptr;
    opened = false;
}

bool MediaLibraryDatabase::syncFolder(const QDir &folder)
{
    if (!folder.exists() || !usable())
        return false;
    const QString dirPath = cleanFolder(folder.absolutePath());
    // Listed before locking: the listing is the slow part and needs no connection.
    return sync(dirPath, QDir(dirPath).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort),
                false);
}

bool MediaLibraryDatabase::syncFolderInBackground(const QDir &folder, const QStringList &fileNames)
{
    if (!folder.exists() || !usable())
        return false;
    return sync(cleanFolder(folder.absolutePath()), fileNames, true);
}

bool MediaLibraryDatabase::sync(const QString &dirPath, QStringList names, bool inBackground)
{
    if (dirPath == indexFolder())
        names.removeIf([](const QString &name) { return name.startsWith(IndexFileName); });
    QSet<QString> unindexed(names.cbegin(), names.cend());

    QList<FileKey> vanished;
    bool ok = false;
    {
        std::lock_guard lock(databaseMutex());
        QSqlDatabase db = QSqlDatabase::database(Connection, true);
        sqlite3 *handle = nativeHandle(db);
        {
            // The name rows only: one per file, and a file's keyword rows go with it.
            const Statement query = prepare(
                    handle,
                    QStringLiteral("select fileName, suffix from '%1' where dirPath = ? and role "
                                   "= 0")
                            .arg(Table),
                    {dirPath});
            int step = SQLITE_DONE;
            while (query && (step = sqlite3_step(query.get())) == SQLITE_ROW) {
                const FileKey key{dirPath, QString::fromUtf8(column(query.get(), 0)),
                                  QString::fromUtf8(column(query.get(), 1))};
                const QString name = key.name();
                // "a." splits into "a" and an empty suffix too, and reads back as "a".
                if (unindexed.remove(name)
                    || (key.suffix.isEmpty() && unindexed.remove(name + u'.')))
                    continue;
                // Not listed: a hidden file indexed on purpose is still there; anything else is
                // gone.
                if (!QFileInfo::exists(key.path()))
                    vanished << key;
            }
            ok = query && step == SQLITE_DONE;
        }
        // In the listing's order: the thread takes the last first.
        QStringList fresh;
        for (const QString &name : std::as_const(names)) {
            if (unindexed.contains(name))
                fresh << name;
        }
        // A chunk's worth is indexed at once, as quickly as the thread would: a capture or two
        // is then found by the very next search.
        if (fresh.size() <= IndexChunk)
            inBackground = false;
        if (!vanished.isEmpty() || (!inBackground && !fresh.isEmpty())) {
            QSqlQuery query(db);
            db.transaction();
            for (const FileKey &key : std::as_const(vanished))
                ok = exec(query, DeleteFile.arg(Table), {key.dirPath, key.fileName, key.suffix})
                        && ok;
            if (!inBackground)
                ok = insertNameRows(handle, dirPath, fresh) && ok;
            ok = db.commit() && ok;
        }
        // What the indexing thread still had of this folder is either in fresh or in by now.
        if (inBackground) {
            if (!indexer)
                indexer = std::make_unique<FolderIndexer>([this] { writeNextChunk(); });
            indexer->queue(dirPath, fresh);
        } else if (indexer) {
            indexer->queue(dirPath, {});
        }
    }
    // Outside the lock: a receiver may well call back into the index.
    for (const FileKey &key : std::as_const(vanished))
        Q_EMIT fileNotExists(key.path());
    return ok;
}

bool MediaLibraryDatabase::isIndexing() const
{
    std::lock_guard lock(databaseMutex());
    return indexer && !indexer->isIdle();
}

void MediaLibraryDatabase::writeNextChunk()
{
    std::lock_guard lock(databaseMutex());
    const FolderIndexer::Chunk chunk = indexer->take(IndexChunk);
    // The connection Qt opened, used on this thread only while the lock keeps the GUI thread
    // off it: a second connection would make either side wait on SQLite's file lock in sleeps of
    // up to 100 ms.
    sqlite3 *handle = nativeDb;
    if (chunk.names.isEmpty() || !handle)
        return;
    sqlite3_exec(handle, "begin", nullptr, nullptr, nullptr);
    insertNameRows(handle, chunk.dirPath, chunk.names);
    if (sqlite3_exec(handle, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) {
        mediaDbLog.log(LogSystem::LogError, "MediaLibraryDatabase::writeNextChunk - %s",
                       sqlite3_errmsg(handle));
        sqlite3_exec(handle, "rollback", nullptr, nullptr, nullptr);
    }
}

bool MediaLibraryDatabase::setFileKeywords(const QFileInfo &file, const QStringList &keywords)
{
    return setFileKeywords({{file, keywords}});
}

bool MediaLibraryDatabase::setFileKeywords(const QList<std::pair<QFileInfo, QStringList>> &files)
{
    if (!usable())
        return false;
    std::lock_guard lock(databaseMutex());
    QSqlDatabase db = QSqlDatabase::database(Connection, true);
    QSqlQuery query(db);
    // One transaction: the old rows never go without the new ones coming, and the commit, which
    // waits for the disk, is paid once for every file.
    db.transaction();
    const QString insert = QStringLiteral("insert into '%1'(dirPath, fileName, suffix, keyword, "
                                          "role) values(?, ?, ?, ?, ?)")
                                   .arg(Table);
    bool named = true;
    for (const auto &[file, keywords] : files) {
        if (!file.exists()) {
            named = false;
            continue;
        }
        const FileKey key = keyOf(file);
        forgetWaiting(key.dirPath, key.name());
        exec(query, DeleteFile.arg(Table), {key.dirPath, key.fileName, key.suffix});
        named = exec(query, insert,
                     {key.dirPath, key.fileName, key.suffix, key.name().toLower(), 0})
                && named;
        for (const QString &keyword : keywords)
            exec(query, insert, {key.dirPath, key.fileName, key.suffix, keyword.toLower(), 1});
    }
    return db.commit() && named;
}

bool MediaLibraryDatabase::forgetWaiting(const QString &dirPath, const QString &name)
{
    return indexer && indexer->forget(dirPath, name);
}

bool MediaLibraryDatabase::removeFile(const QFileInfo &file)
{
    const FileKey key = keyOf(file);
    return removeRows(key.dirPath, key.fileName, key.suffix);
}

bool MediaLibraryDatabase::removeRows(const QString &dirPath, const QString &fileName,
                                      const QString &suffix)
{
    if (!usable())
        return false;
    std::lock_guard lock(databaseMutex());
    forgetWaiting(dirPath, FileKey{dirPath, fileName, suffix}.name());
    QSqlQuery query(QSqlDatabase::database(Connection, true));
    return exec(query, DeleteFile.arg(Table), {dirPath, fileName, suffix});
}

bool MediaLibraryDatabase::removeFolder(const QDir &folder)
{
    if (!usable())
        return false;
    const QString dirPath = cleanFolder(folder.absolutePath());
    std::lock_guard lock(databaseMutex());
    if (indexer)
        indexer->forgetFolder(dirPath);
    QSqlQuery query(QSqlDatabase::database(Connection, true));
    return exec(query, QStringLiteral("delete from '%1' where ").arg(Table) + InFolder,
                folderValues(dirPath));
}

bool MediaLibraryDatabase::renameFile(const QFileInfo &newFile, const QFileInfo &oldFile)
{
    if ((!newFile.exists() && !oldFile.exists()) || !usable())
        return false;
    const FileKey to = keyOf(newFile);
    const FileKey from = keyOf(oldFile);
    std::lock_guard lock(databaseMutex());
    QSqlDatabase db = QSqlDatabase::database(Connection, true);
    QSqlQuery query(db);
    db.transaction();
    bool ok = true;
    // Not indexed yet, it is indexed under its new name at once.
    const bool waited = forgetWaiting(from.dirPath, from.name());
    // A file renamed over another takes its place in the index too.
    if (to.path() != from.path()) {
        forgetWaiting(to.dirPath, to.name());
        ok = exec(query, DeleteFile.arg(Table), {to.dirPath, to.fileName, to.suffix});
    }
    if (waited && newFile.exists())
        ok = insertNameRows(nativeDb, to.dirPath, {to.name()}) && ok;
    ok = exec(query,
              QStringLiteral("update '%1' set dirPath = ?, fileName = ?, suffix = ? where dirPath "
                             "= ? and (fileName = ? and suffix = ?)")
                      .arg(Table),
              {to.dirPath, to.fileName, to.suffix, from.dirPath, from.fileName, from.suffix})
            && ok;
    ok = exec(query,
              QStringLiteral("update '%1' set keyword = ? where role = 0 and dirPath = ? and "
                             "(fileName = ? and suffix = ?)")
                      .arg(Table),
              {to.name().toLower(), to.dirPath, to.fileName, to.suffix})
            && ok;
    return db.commit() && ok;
}

bool MediaLibraryDatabase::moveFolder(const QString &newPath, const QString &oldPath)
{
    if ((!QFileInfo::exists(newPath) && !QFileInfo::exists(oldPath)) || !usable())
        return false;
    const QString to = cleanFolder(newPath);
    const QString from = cleanFolder(oldPath);
    std::lock_guard lock(databaseMutex());
    if (indexer)
        indexer->moveFolder(from, to);
    QSqlQuery query(QSqlDatabase::database(Connection, true));
    // Only the leading folder part changes: a sub-folder that repeats the name keeps it.
    return exec(query,
                QStringLiteral("update '%1' set dirPath = ? || substr(dirPath, length(?) + 1) "
                               "where ")
                                .arg(Table)
                        + InFolder,
                QVariantList{to, from} + folderValues(from));
}

QStringList MediaLibraryDatabase::search(const QStringList &keywords)
{
    if (keywords.isEmpty() || !usable())
        return {};
    std::unique_lock lock(databaseMutex());
    QString statement
            = QStringLiteral("select dirPath, fileName, suffix from '%1' where").arg(Table);
    QVariantList values;
    const QString filter = trigramReady ? trigramFilter(keywords) : QString();
    if (!filter.isEmpty()) {
        statement += QStringLiteral(" id in (select rowid from files_fts where files_fts match ?) "
                                    "and");
        values << filter;
    }
    for (const QString &keyword : keywords) {
        statement += KeywordLike + QStringLiteral(" and");
        values << QString(u'%' + keyword.toLower() + u'%');
    }
    statement.chop(4);

    ExistenceChecks checks;
    {
        sqlite3 *handle = nativeHandle(QSqlDatabase::database(Connection, true));
        const Statement query = prepare(handle, statement, values);
        if (!query)
            return {};
        QSet<QByteArray> seen;
        std::vector<Candidate> batch;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(query.get())) == SQLITE_ROW) {
            Candidate candidate(column(query.get(), 0), column(query.get(), 1),
                                column(query.get(), 2));
            const qsizetype known = seen.size();
            seen.insert(candidate.path);
            if (seen.size() == known)
                continue;
            batch.push_back(std::move(candidate));
            if (batch.size() == CheckBatch)
                checks.add(std::move(batch));
        }
        if (step != SQLITE_DONE)
            mediaDbLog.log(LogSystem::LogError, "MediaLibraryDatabase::search - %s: %s",
                           qPrintable(statement), sqlite3_errmsg(handle));
        checks.add(std::move(batch));
    }
    QStringList found;
    QList<FileKey> vanished;
    checks.finish(found, vanished);
    // removeRows() takes the lock itself.
    lock.unlock();
    for (const FileKey &key : std::as_const(vanished))
        removeRows(key.dirPath, key.fileName, key.suffix);
    return found;
}

QStringList parseKeywords(const QString &text)
{
    QStringList seen;
    QStringList keywords;
    const QStringList parts = text.split(u',', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        QString keyword = part.trimmed();
        if (seen.contains(keyword))
            continue;
        seen << keyword;
        // The backslash too, so that one typed in the search box is searched for, not obeyed.
        keyword.replace(u'\\', QStringLiteral("\\\\"));
        for (const QChar special : {u'_', u'%', u'[', u']'})
            keyword.replace(special, QStringLiteral("\\") + special);
        keywords << keyword;
    }
    return keywords;
}

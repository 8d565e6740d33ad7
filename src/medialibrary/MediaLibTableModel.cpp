#include "MediaLibTableModel.h"

#include "FolderListing.h"
#include "MediaDurationProbe.h"
#include "MediaImpl.h"
#include "MediaInfoModifiedPanel.h"
#include "MediaInfoStore.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QFileInfo>

namespace {

constexpr QStringView ImageSuffixes[]
        = {u"tif", u"tiff", u"bmp", u"png", u"jfif", u"jpe", u"jpeg", u"jpg"};
constexpr QStringView VideoSuffixes[] = {u"wmv", u"avi"};

// Below this a duration is not known yet (information files of older versions hold 0 or 1).
constexpr qint64 KnownDuration = 2;

// Measured lengths are written back together: every write updates the search index, whose
// commit waits for the disk, and each information file waits for the disk too. A batch of two
// takes some 10 ms here (sixteen took 30 to 90), and batches go one per turn of the event loop,
// so that the window keeps painting while a folder of recordings is measured.
constexpr int WriteBackDelayMs = 200;
constexpr int WriteBackBatch = 2;

bool isHidden(const QString &path)
{
    return QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
}

template<std::size_t N> bool hasSuffix(const QString &name, const QStringView (&suffixes)[N])
{
    for (QStringView suffix : suffixes) {
        if (name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size()
            && name.at(name.size() - suffix.size() - 1) == QLatin1Char('.'))
            return true;
    }
    return false;
}

} // namespace

MediaLibTableModel::MediaLibTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , store(MediaInfoStore::getInstance())
    , infoIcon(QStringLiteral(":Image/pics/info.png"))
{
    writeBackTimer.setSingleShot(true);
    connect(&writeBackTimer, &QTimer::timeout, this, &MediaLibTableModel::writeBackDurations);
}

MediaLibTableModel::~MediaLibTableModel()
{
    // Measured lengths not written yet would be measured again at the next showing.
    while (!writeBacks.isEmpty())
        writeBackDurations();
    store->release();
}

int MediaLibTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int MediaLibTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString MediaLibTableModel::sizeText(qint64 bytes)
{
    const qint64 kilobytes = bytes / 1024;
    if (kilobytes < 2)
        return QString::number(bytes) + QStringLiteral("Bytes");
    QString digits = QString::number(kilobytes);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits + QStringLiteral("KB");
}

QString MediaLibTableModel::durationText(qint64 milliseconds)
{
    const qint64 hours = milliseconds / 3'600'000;
    const qint64 minutes = milliseconds / 60'000 % 60;
    const qint64 seconds = milliseconds / 1000 % 60;
    return QStringLiteral("%1:%2:%3")
            .arg(hours, 2, 10, QLatin1Char('0'))
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(seconds, 2, 10, QLatin1Char('0'));
}

int MediaLibTableModel::kindOfFileName(const QString &name)
{
    if (hasSuffix(name, ImageSuffixes))
        return MediaIntf::Image;
    if (hasSuffix(name, VideoSuffixes))
        return MediaIntf::Video;
    return MediaIntf::Other;
}

int MediaLibTableModel::kindOfPath(const QString &path)
{
    return QFileInfo(path).isDir() ? int(MediaIntf::Folder) : kindOfFileName(path);
}

QVariant MediaLibTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    const Row &row = rows[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return display(row, index.column());
    case Qt::EditRole:
        if (index.column() != NameColumn)
            return display(row, index.column());
        return row.kind == MediaIntf::Folder ? QFileInfo(row.path).fileName()
                                             : QFileInfo(row.path).completeBaseName();
    case Qt::DecorationRole:
        if (index.column() == InfoColumn && row.kind != MediaIntf::Folder)
            return infoIcon;
        return QVariant();
    case PathRole:
        return row.path;
    case KindRole:
        return row.kind;
    case DriveKindRole:
        return row.driveKind;
    default:
        return QVariant();
    }
}

QVariant MediaLibTableModel::display(const Row &row, int column) const
{
    const bool isFile = row.kind != MediaIntf::Folder;
    switch (column) {
    case NameColumn:
        return row.key.shownName;
    case TypeColumn:
        switch (row.kind) {
        case MediaIntf::Image:
            return QStringLiteral("Image");
        case MediaIntf::Video:
            return QStringLiteral("Video");
        case MediaIntf::Folder:
            return QStringLiteral("Folder");
        default:
            return QString::number(row.kind);
        }
    case DateColumn:
        // Turned into local time here, for the rows shown only: it costs a time-zone look-up.
        return withFacts(row).key.hasDate ? QDateTime::fromMSecsSinceEpoch(row.key.created)
                                          : QDateTime();
    case SizeColumn:
        return isFile && withFacts(row).size >= 0 ? sizeText(row.size) : QString();
    case DurationColumn:
        return row.kind == MediaIntf::Video ? durationShown(mediaOf(row)) : QString();
    default:
        return QVariant();
    }
}

QString MediaLibTableModel::durationShown(MediaImpl &media) const
{
    const QString path = media.path();
    if (media.duration() < KnownDuration && !durationUnknown.contains(path)
        && !durationWaiting.contains(path)) {
        // The thumbnail maker may have written the length since the folder was listed.
        store->readInformation(media);
        if (media.duration() < KnownDuration) {
            durationWaiting.insert(path);
            if (!probe) {
                probe = std::make_unique<DurationProbeQueue>();
                connect(probe.get(), &DurationProbeQueue::durationProbed, this,
                        &MediaLibTableModel::durationProbed);
            }
            probe->request(path);
        }
    }
    if (media.duration() >= KnownDuration || durationUnknown.contains(path))
        return durationText(media.duration());
    return QString();
}

void MediaLibTableModel::durationProbed(const QString &path, qint64 milliseconds)
{
    const int row = rowOfPath(path);
    if (!durationWaiting.remove(path) || row < 0)
        return;
    if (milliseconds > 0) {
        mediaOf(rows[std::size_t(row)]).setDuration(milliseconds);
        writeBacks.append({path, milliseconds});
        if (!writeBackTimer.isActive())
            writeBackTimer.start(WriteBackDelayMs);
    }
    if (milliseconds < KnownDuration)
        durationUnknown.insert(path);
    const QModelIndex cell = index(row, DurationColumn);
    Q_EMIT dataChanged(cell, cell, {Qt::DisplayRole});
}

void MediaLibTableModel::writeBackDurations()
{
    std::vector<std::unique_ptr<MediaImpl>> batch;
    QList<const MediaIntf *> written;
    while (!writeBacks.isEmpty() && written.size() < WriteBackBatch) {
        const auto [path, milliseconds] = writeBacks.takeFirst();
        // Written from a fresh read: the dialog may have changed the information meanwhile.
        batch.push_back(std::make_unique<MediaImpl>(path, MediaIntf::Video));
        store->readInformation(*batch.back());
        batch.back()->setDuration(milliseconds);
        written << batch.back().get();
    }
    store->writeInformation(written);
    if (!writeBacks.isEmpty())
        writeBackTimer.start(0);
}

bool MediaLibTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != NameColumn)
        return false;
    const int row = index.row();
    Row &renamed = rows[std::size_t(row)];
    MediaImpl &media = mediaOf(renamed);
    if (!store->rename(media, value.toString().trimmed(), true))
        return false;
    Row moved = rowFor(media.path(), renamed.kind);
    moved.size = renamed.size;
    moved.key.kilobytes = renamed.key.kilobytes;
    moved.key.created = renamed.key.created;
    moved.key.hasDate = renamed.key.hasDate;
    moved.media = std::move(renamed.media);
    renamed = std::move(moved);
    Q_EMIT dataChanged(this->index(row, 0), this->index(row, ColumnCount - 1));
    return true;
}

QVariant MediaLibTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return QStringLiteral("Media Name");
    case TypeColumn:
        return QStringLiteral("Type");
    case DateColumn:
        return QStringLiteral("Date");
    case SizeColumn:
        return QStringLiteral("Size");
    case InfoColumn:
        return QStringLiteral("Info");
    case DurationColumn:
        return QStringLiteral("Duration");
    default:
        return QVariant();
    }
}

Qt::ItemFlags MediaLibTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = QAbstractTableModel::flags(index) | Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

MediaLibTableModel::Row MediaLibTableModel::rowFor(const QString &path, int kind)
{
    Row row;
    row.path = path;
    row.kind = kind;
    row.key.folder = kind == MediaIntf::Folder;
    row.key.shownName = QFileInfo(path).fileName();
    row.key.lowerName = row.key.shownName.toLower();
    return row;
}

void MediaLibTableModel::takeFileFacts(const Row &row, const QFileInfo &entry)
{
    row.factsKnown = true;
    if (row.driveKind >= 0)
        return;
    if (row.kind != MediaIntf::Folder) {
        row.size = entry.size();
        const qint64 kilobytes = row.size / 1024;
        row.key.kilobytes = kilobytes < 2 ? 0 : kilobytes;
    }
    // Not every file system keeps a birth time.
    const QDateTime born = entry.birthTime();
    const QDateTime created = born.isValid() ? born : entry.lastModified();
    row.key.hasDate = created.isValid();
    row.key.created = row.key.hasDate ? created.toMSecsSinceEpoch() : 0;
    if (row.media) {
        row.media->setSize(row.size);
        row.media->setDate(created);
    }
}

const MediaLibTableModel::Row &MediaLibTableModel::withFacts(const Row &row)
{
    if (!row.factsKnown)
        takeFileFacts(row, QFileInfo(row.path));
    return row;
}

const MediaLibTableModel::SortKey &MediaLibTableModel::sortKey(int row, bool facts) const
{
    const Row &shown = rows[std::size_t(row)];
    return facts ? withFacts(shown).key : shown.key;
}

MediaImpl &MediaLibTableModel::mediaOf(const Row &row) const
{
    if (!row.media) {
        withFacts(row);
        row.media = std::make_unique<MediaImpl>(row.path, row.kind);
        if (row.kind != MediaIntf::Folder)
            row.media->setSize(row.size);
        if (row.key.hasDate)
            row.media->setDate(QDateTime::fromMSecsSinceEpoch(row.key.created));
        if (row.readRecord)
            store->readInformation(*row.media);
    }
    return *row.media;
}

void MediaLibTableModel::reset(std::vector<Row> newRows)
{
    beginResetModel();
    rows = std::move(newRows);
    if (probe)
        probe->clear();
    durationWaiting.clear();
    durationUnknown.clear();
    endResetModel();
}

void MediaLibTableModel::loadFolder(const QDir &shown)
{
    loadFolder(shown, FolderListing(shown.absolutePath()));
}

void MediaLibTableModel::loadFolder(const QDir &shown, const FolderListing &listing)
{
    folder = shown.absolutePath();
    store->prepareFolder(folder);
    // Most files have no information record yet: the mirror folder says which do.
    const QStringList recorded
            = QDir(store->mirrorPath(folder))
                      .entryList({QStringLiteral("*.kvrd")}, QDir::Files | QDir::Hidden);
    const QSet<QString> withRecord(recorded.begin(), recorded.end());
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    std::vector<Row> listed;
    listed.reserve(listing.entries().size());
    for (const FolderListing::Entry &entry : listing.entries()) {
        if (entry.hidden || entry.type == FolderListing::Other)
            continue;
        const int kind = entry.type == FolderListing::Folder ? int(MediaIntf::Folder)
                                                             : kindOfFileName(entry.name);
        if (kind == MediaIntf::Other)
            continue;
        Row row;
        row.path = prefix + entry.name;
        row.kind = kind;
        row.key.folder = kind == MediaIntf::Folder;
        row.key.shownName = entry.name;
        row.key.lowerName = entry.name.toLower();
        row.readRecord = withRecord.contains(entry.name + QStringLiteral(".kvrd"));
        listed.push_back(std::move(row));
    }
    // Folders first, then by name regardless of case, as the views first show them.
    std::sort(listed.begin(), listed.end(), [](const Row &left, const Row &right) {
        if (left.key.folder != right.key.folder)
            return left.key.folder;
        const int order = left.key.lowerName.compare(right.key.lowerName);
        return order != 0 ? order < 0 : left.key.shownName < right.key.shownName;
    });
    reset(std::move(listed));
}

void MediaLibTableModel::loadFiles(const QStringList &paths)
{
    folder.clear();
    std::vector<Row> listed;
    listed.reserve(std::size_t(paths.size()));
    for (const QString &path : paths) {
        const QFileInfo entry(path);
        listed.push_back(rowFor(entry.absoluteFilePath(), kindOfPath(path)));
        takeFileFacts(listed.back(), entry);
    }
    reset(std::move(listed));
}

void MediaLibTableModel::loadDrives(const QList<Drive> &drives)
{
    folder.clear();
    std::vector<Row> listed;
    for (const Drive &drive : drives) {
        Row row = rowFor(drive.rootPath, MediaIntf::Folder);
        row.driveKind = int(drive.kind);
        row.readRecord = false;
        row.factsKnown = true;
        row.key.shownName = QDir::toNativeSeparators(drive.rootPath);
        row.key.lowerName = row.key.shownName.toLower();
        listed.push_back(std::move(row));
    }
    reset(std::move(listed));
}

bool MediaLibTableModel::addPath(const QString &path)
{
    const QFileInfo entry(QDir::cleanPath(path));
    const int kind = kindOfPath(entry.filePath());
    if (kind == MediaIntf::Other || isHidden(entry.filePath()) || !entry.exists()
        || rowOfPath(entry.absoluteFilePath()) >= 0)
        return false;
    Row row = rowFor(entry.absoluteFilePath(), kind);
    takeFileFacts(row, entry);
    row.readRecord = QFileInfo::exists(store->infoFilePath(row.path));
    MediaImpl &media = mediaOf(row);
    if (!row.readRecord && kind != MediaIntf::Folder)
        store->writeInformation(media);
    beginInsertRows(QModelIndex(), rowCount(), rowCount());
    rows.push_back(std::move(row));
    endInsertRows();
    return true;
}

void MediaLibTableModel::removePath(const QString &path)
{
    const int row = rowOfPath(path);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows.erase(rows.begin() + row);
    endRemoveRows();
}

int MediaLibTableModel::rowOfPath(const QString &path) const
{
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].path == path)
            return int(row);
    }
    return -1;
}

MediaImpl *MediaLibTableModel::mediaAt(int row) const
{
    return row >= 0 && row < rowCount() ? &mediaOf(rows[std::size_t(row)]) : nullptr;
}

QModelIndex MediaLibTableModel::toModelIndex(const QModelIndex &index) const
{
    QModelIndex mapped = index;
    while (mapped.isValid() && mapped.model() != this) {
        const auto *proxy = qobject_cast<const QAbstractProxyModel *>(mapped.model());
        if (!proxy)
            return QModelIndex();
        mapped = proxy->mapToSource(mapped);
    }
    return mapped;
}

MediaImpl *MediaLibTableModel::existingFile(const QModelIndex &index)
{
    MediaImpl *media = mediaAt(toModelIndex(index).row());
    if (!media || media->kind() == MediaIntf::Folder)
        return nullptr;
    if (!QFileInfo::exists(media->path())) {
        Q_EMIT fileDoesNotExist(media->path());
        return nullptr;
    }
    return media;
}

void MediaLibTableModel::doubleClickedOnMediaLib(const QModelIndex &index)
{
    MediaImpl *media = existingFile(index);
    if (!media)
        return;
    if (media->kind() == MediaIntf::Image)
        Q_EMIT showImageRequested(media->path());
    else if (media->kind() == MediaIntf::Video)
        Q_EMIT playVideoRequested(media);
}

void MediaLibTableModel::clickedOnInfoCol(const QModelIndex &index)
{
    if (toModelIndex(index).column() != InfoColumn)
        return;
    if (MediaImpl *media = existingFile(index))
        Q_EMIT showMediaInfo(media);
}

void MediaLibTableModel::deleteInfoCol(const QModelIndex &index)
{
    if (toModelIndex(index).column() != InfoColumn)
        return;
    if (MediaImpl *media = existingFile(index)) {
        MediaInfoModifiedPanel information(media, MediaInfoModifiedPanel::InformationForm,
                                           QApplication::activeWindow());
        information.exec();
    }
}

void MediaLibTableModel::reloadMediaObj()
{
    if (rows.empty())
        return;
    for (Row &row : rows) {
        if (row.driveKind >= 0)
            continue;
        row.factsKnown = false;
        if (row.media)
            withFacts(row);
        // Records written since, by the thumbnail maker for one, are read when needed.
        row.readRecord = true;
        if (row.media)
            store->readInformation(*row.media);
    }
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

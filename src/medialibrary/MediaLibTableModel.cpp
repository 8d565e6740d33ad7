#include "MediaLibTableModel.h"

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
// commit waits for the disk (some 15 ms here), while a batch of 16 costs little more than one.
// Batches that large still go one per turn of the event loop, so that the window keeps
// painting while a folder of recordings is measured.
constexpr int WriteBackDelayMs = 200;
constexpr int WriteBackBatch = 16;

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
    const MediaImpl &media = *row.media;
    switch (role) {
    case Qt::DisplayRole:
        return display(row, index.column());
    case Qt::EditRole:
        if (index.column() != NameColumn)
            return display(row, index.column());
        return media.kind() == MediaIntf::Folder ? QFileInfo(media.path()).fileName()
                                                 : QFileInfo(media.path()).completeBaseName();
    case Qt::DecorationRole:
        if (index.column() == InfoColumn && media.kind() != MediaIntf::Folder)
            return infoIcon;
        return QVariant();
    case PathRole:
        return media.path();
    case KindRole:
        return media.kind();
    case DriveKindRole:
        return row.driveKind;
    default:
        return QVariant();
    }
}

QVariant MediaLibTableModel::display(const Row &row, int column) const
{
    MediaImpl &media = *row.media;
    const bool isFile = media.kind() != MediaIntf::Folder;
    switch (column) {
    case NameColumn:
        return row.driveKind >= 0 ? QDir::toNativeSeparators(media.path())
                                  : QFileInfo(media.path()).fileName();
    case TypeColumn:
        switch (media.kind()) {
        case MediaIntf::Image:
            return QStringLiteral("Image");
        case MediaIntf::Video:
            return QStringLiteral("Video");
        case MediaIntf::Folder:
            return QStringLiteral("Folder");
        default:
            return QString::number(media.kind());
        }
    case DateColumn:
        return media.date();
    case SizeColumn:
        return isFile && media.size() >= 0 ? sizeText(media.size()) : QString();
    case DurationColumn:
        return media.kind() == MediaIntf::Video ? durationShown(media) : QString();
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
        rows[std::size_t(row)].media->setDuration(milliseconds);
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
    MediaImpl &media = *rows[std::size_t(row)].media;
    if (!store->rename(media, value.toString().trimmed(), true))
        return false;
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

MediaLibTableModel::Row MediaLibTableModel::rowFor(const QFileInfo &entry, int kind)
{
    Row row{std::make_unique<MediaImpl>(entry.absoluteFilePath(), kind), -1};
    takeFileFacts(*row.media, entry);
    return row;
}

void MediaLibTableModel::takeFileFacts(MediaImpl &media, const QFileInfo &entry)
{
    if (media.kind() != MediaIntf::Folder)
        media.setSize(entry.size());
    // Not every file system keeps a birth time.
    const QDateTime born = entry.birthTime();
    media.setDate(born.isValid() ? born : entry.lastModified());
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
    folder = shown.absolutePath();
    // One listing gives the kinds, sizes and dates: no second look at each file.
    const QFileInfoList entries
            = QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                         QDir::Name | QDir::DirsFirst | QDir::IgnoreCase);
    store->prepareFolder(folder);
    // Most files have no information record yet: the mirror folder says which do.
    const QStringList recorded
            = QDir(store->mirrorPath(folder))
                      .entryList({QStringLiteral("*.kvrd")}, QDir::Files | QDir::Hidden);
    const QSet<QString> withRecord(recorded.begin(), recorded.end());
    std::vector<Row> listed;
    listed.reserve(std::size_t(entries.size()));
    for (const QFileInfo &entry : entries) {
        const int kind = entry.isDir() ? int(MediaIntf::Folder) : kindOfFileName(entry.fileName());
        if (kind == MediaIntf::Other)
            continue;
        listed.push_back(rowFor(entry, kind));
        if (withRecord.contains(entry.fileName() + QStringLiteral(".kvrd")))
            store->readInformation(*listed.back().media);
    }
    reset(std::move(listed));
}

void MediaLibTableModel::loadFiles(const QStringList &paths)
{
    folder.clear();
    std::vector<Row> listed;
    listed.reserve(std::size_t(paths.size()));
    for (const QString &path : paths) {
        const QFileInfo entry(path);
        listed.push_back(rowFor(entry, kindOfPath(path)));
        store->readInformation(*listed.back().media);
    }
    reset(std::move(listed));
}

void MediaLibTableModel::loadDrives(const QList<Drive> &drives)
{
    folder.clear();
    std::vector<Row> listed;
    for (const Drive &drive : drives) {
        listed.push_back(Row{std::make_unique<MediaImpl>(drive.rootPath, MediaIntf::Folder),
                             int(drive.kind)});
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
    Row row = rowFor(entry, kind);
    if (QFileInfo::exists(store->infoFilePath(entry.absoluteFilePath())))
        store->readInformation(*row.media);
    else if (kind != MediaIntf::Folder)
        store->writeInformation(*row.media);
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
        if (rows[row].media->path() == path)
            return int(row);
    }
    return -1;
}

MediaImpl *MediaLibTableModel::mediaAt(int row) const
{
    return row >= 0 && row < rowCount() ? rows[std::size_t(row)].media.get() : nullptr;
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
        takeFileFacts(*row.media, QFileInfo(row.media->path()));
        store->readInformation(*row.media);
    }
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

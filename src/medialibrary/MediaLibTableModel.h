#pragma once

#include "DriveList.h"

#include <QAbstractTableModel>
#include <QDir>
#include <QIcon>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class DurationProbeQueue;
class FolderListing;
class MediaImpl;
class MediaInfoStore;
class MediaIntf;
class QFileInfo;

/// The rows of the media library: one media object per folder, picture or video of the folder
/// shown, of a search result or of the drive list, with its information record.
///
/// A video's length is measured off the GUI thread when a view first asks for it and written
/// back to its information file, so that the next showing finds it there.
class MediaLibTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        TypeColumn,
        DateColumn,
        SizeColumn,
        InfoColumn,
        DurationColumn,
        ColumnCount
    };
    enum Role {
        PathRole = Qt::UserRole + 1,
        KindRole, // int MediaIntf::Kind
        DriveKindRole // int Drive::Kind, -1 when the row is not a drive
    };

    explicit MediaLibTableModel(QObject *parent = nullptr);
    ~MediaLibTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    /// Shows the sub-folders of `folder`, then its images and videos (the name filters), each
    /// with its information record; hidden (dot) entries are never listed.
    void loadFolder(const QDir &folder);
    /// The same from a listing of `folder` the caller has already read.
    void loadFolder(const QDir &folder, const FolderListing &listing);
    /// Shows exactly these files (a search result), in this order.
    void loadFiles(const QStringList &paths);
    /// Shows the drives as folder rows named by their root paths.
    void loadDrives(const QList<Drive> &drives);
    /// Adds one entry of the shown folder (a media file or a folder; anything else is ignored).
    bool addPath(const QString &path);
    void removePath(const QString &path);
    int rowOfPath(const QString &path) const; // -1 when absent
    MediaImpl *mediaAt(int row) const;
    /// The absolute path of the folder loadFolder() showed last; empty for a search result or
    /// the drive list.
    QString currentFolder() const { return folder; }

    /// `index` of this model or of a chain of proxies over it, as an index of this model;
    /// invalid when it belongs to another model.
    QModelIndex toModelIndex(const QModelIndex &index) const;

    /// What the sort compares, made once per row rather than once per comparison.
    struct SortKey
    {
        QString shownName; // the name as shown
        QString lowerName; // lower-cased, for the numbers in it
        bool folder = false;
        qint64 kilobytes = 0; // as the size text reads: 0 under 2 KB and for folders
        qint64 created = 0; // milliseconds since the epoch
        bool hasDate = false;
    };
    /// `withFacts`: with the size and time, which are otherwise read for the rows shown only.
    const SortKey &sortKey(int row, bool withFacts) const;

    static QString sizeText(qint64 bytes); // "1,234KB" / "512Bytes"
    static QString durationText(qint64 milliseconds); // "hh:mm:ss"
    static int kindOfPath(const QString &path); // by suffix / directory
    /// The kind a file of this name has by its suffix alone: Image, Video or Other.
    static int kindOfFileName(const QString &name);

public Q_SLOTS:
    void doubleClickedOnMediaLib(const QModelIndex &index); // this model's or a proxy's
    void clickedOnInfoCol(const QModelIndex &index);
    void deleteInfoCol(const QModelIndex &index);
    void reloadMediaObj();

Q_SIGNALS:
    void showImageRequested(const QString &path);
    void playVideoRequested(MediaIntf *media);
    void showMediaInfo(MediaImpl *media); // the Info column of a file was clicked
    void fileDoesNotExist(const QString &path);

private:
    // A row keeps what the table shows of the file; its media object, with the information
    // record, is made when something asks for it, mostly for the rows on screen.
    struct Row
    {
        QString path;
        int kind = 0;
        mutable qint64 size = -1;
        int driveKind = -1;
        bool readRecord = true; // when the media object is made
        mutable bool factsKnown = false; // size and time
        mutable SortKey key;
        mutable std::unique_ptr<MediaImpl> media;
    };

    void reset(std::vector<Row> rows);
    static Row rowFor(const QString &path, int kind);
    static void takeFileFacts(const Row &row, const QFileInfo &entry);
    static const Row &withFacts(const Row &row);
    MediaImpl &mediaOf(const Row &row) const;
    QVariant display(const Row &row, int column) const;
    QString durationShown(MediaImpl &media) const;
    void durationProbed(const QString &path, qint64 milliseconds);
    void writeBackDurations();
    /// The file behind `index` if it is a file row that still exists; else tells who listens.
    MediaImpl *existingFile(const QModelIndex &index);

    std::vector<Row> rows;
    QString folder;
    MediaInfoStore *store;
    QIcon infoIcon;

    // Durations are asked for once per showing: while waiting the cell stays empty, and a file
    // the probe could not measure shows zero rather than being measured again.
    mutable std::unique_ptr<DurationProbeQueue> probe; // made when a length is first missing
    mutable QSet<QString> durationWaiting;
    QSet<QString> durationUnknown;
    QList<std::pair<QString, qint64>> writeBacks;
    QTimer writeBackTimer;
};

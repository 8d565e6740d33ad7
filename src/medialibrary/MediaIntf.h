#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <array>

/// One file or folder of the media library with what the user told about it: title, author,
/// keywords, description, and for every web service where it was published the item's address,
/// its identifier there and its place in the upload queue.
///
/// The information lives in an information file of its own (MediaInfoStore reads and writes
/// it); a media object is only the copy being looked at or edited.
class MediaIntf : public QObject
{
    Q_OBJECT

public:
    enum Kind { Folder = 0, Image = 1, Video = 2, Other = 3 };

    /// The services a file is queued for, by the bit that names them everywhere in the upload
    /// code.
    enum Service { YouTube = 1, Facebook = 2, Picasa = 4, Twitter = 8, Dropbox = 16 };
    static constexpr std::array<Service, 5> Services{YouTube, Facebook, Picasa, Twitter, Dropbox};

    /// The places a published item has an address and an identifier. Twitter's pictures live on
    /// Twitpic, and SchoolTube has no queue of its own.
    enum class Site { Picasa, YouTube, Facebook, SchoolTube, Dropbox, Twitpic };
    static constexpr int SiteCount = 6;

    /// Queue states: the file waits in the upload queue, or is not queued. The upload component
    /// sets others (2 done, 3 failed).
    static constexpr int NotQueued = 0;
    static constexpr int Queued = 1;
    static constexpr int UploadFailed = 3;

    virtual QString path() const = 0;
    virtual void setPath(const QString &path) = 0;
    virtual int kind() const = 0;
    virtual void setKind(int kind) = 0;
    /// Bytes; -1 until read.
    virtual qint64 size() const = 0;
    virtual void setSize(qint64 size) = 0;
    /// Creation time; null until read.
    virtual QDateTime date() const = 0;
    virtual void setDate(const QDateTime &date) = 0;
    /// Milliseconds; below 2 while unknown.
    virtual qint64 duration() const = 0;
    virtual void setDuration(qint64 duration) = 0;

    virtual QString title() const = 0;
    virtual void setTitle(const QString &title) = 0;
    virtual QString author() const = 0;
    virtual void setAuthor(const QString &author) = 0;
    virtual QString description() const = 0;
    virtual void setDescription(const QString &description) = 0;
    virtual QStringList keywords() const = 0;
    virtual void setKeywords(const QStringList &keywords) = 0;
    /// When the user asked the upload to run.
    virtual QDateTime uploadTime() const = 0;
    virtual void setUploadTime(const QDateTime &time) = 0;

    virtual QUrl link(Site site) const = 0;
    virtual void setLink(Site site, const QUrl &link) = 0;
    virtual QString remoteId(Site site) const = 0;
    virtual void setRemoteId(Site site, const QString &id) = 0;
    virtual int queueState(Service service) const = 0;
    virtual void setQueueState(Service service, int state) = 0;

    /// The state of the object's uploads as one value: Queued while any service waits, else
    /// UploadFailed when any failed, else NotQueued when any is not queued, else 2 (all done).
    int uploadState() const
    {
        bool failed = false, notQueued = false;
        for (Service service : Services) {
            const int state = queueState(service);
            if (state == Queued)
                return Queued;
            failed = failed || state == UploadFailed;
            notQueued = notQueued || state == NotQueued;
        }
        return failed ? UploadFailed : notQueued ? NotQueued : 2;
    }
    bool isInUploadQueue() const { return uploadState() == Queued; }

protected:
    explicit MediaIntf(QObject *parent = nullptr)
        : QObject(parent)
    { }
};

#pragma once

#include "MediaIntf.h"

/// A media object held by value: every field as the user or the information file left it.
class MediaImpl : public MediaIntf
{
    Q_OBJECT

public:
    explicit MediaImpl(const QString &path = QString(), int kind = Other,
                       QObject *parent = nullptr);

    QString path() const override { return filePath; }
    void setPath(const QString &path) override { filePath = path; }
    int kind() const override { return fileKind; }
    void setKind(int kind) override { fileKind = kind; }
    qint64 size() const override { return fileSize; }
    void setSize(qint64 size) override { fileSize = size; }
    QDateTime date() const override { return created; }
    void setDate(const QDateTime &date) override { created = date; }
    qint64 duration() const override { return milliseconds; }
    void setDuration(qint64 duration) override { milliseconds = duration; }

    QString title() const override { return fileTitle; }
    void setTitle(const QString &title) override { fileTitle = title; }
    QString author() const override { return fileAuthor; }
    void setAuthor(const QString &author) override { fileAuthor = author; }
    QString description() const override { return fileDescription; }
    void setDescription(const QString &description) override { fileDescription = description; }
    QStringList keywords() const override { return fileKeywords; }
    void setKeywords(const QStringList &keywords) override { fileKeywords = keywords; }
    QDateTime uploadTime() const override { return uploadAt; }
    void setUploadTime(const QDateTime &time) override { uploadAt = time; }

    QUrl link(Site site) const override { return links[std::size_t(site)]; }
    void setLink(Site site, const QUrl &link) override { links[std::size_t(site)] = link; }
    QString remoteId(Site site) const override { return remoteIds[std::size_t(site)]; }
    void setRemoteId(Site site, const QString &id) override { remoteIds[std::size_t(site)] = id; }
    int queueState(Service service) const override;
    void setQueueState(Service service, int state) override;

private:
    QString filePath;
    int fileKind;
    qint64 fileSize = -1;
    QDateTime created;
    qint64 milliseconds = 0;
    QString fileTitle;
    QString fileAuthor;
    QString fileDescription;
    QStringList fileKeywords;
    QDateTime uploadAt;
    std::array<QUrl, SiteCount> links;
    std::array<QString, SiteCount> remoteIds;
    std::array<int, Services.size()> queued{};
};

#include "MediaInfoFile.h"

#include "MediaIntf.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <array>
#include <utility>

namespace {

using Site = MediaIntf::Site;
using Service = MediaIntf::Service;

constexpr std::array<std::pair<Site, const char *>, MediaIntf::SiteCount> urlElements{{
        {Site::Picasa, "picasaUrl"},
        {Site::YouTube, "youtubeUrl"},
        {Site::Facebook, "facebookUrl"},
        {Site::SchoolTube, "schooltubeUrl"},
        {Site::Dropbox, "dropboxUrl"},
        {Site::Twitpic, "twitpicUrl"},
}};
constexpr std::array<std::pair<Site, const char *>, MediaIntf::SiteCount> idElements{{
        {Site::Picasa, "picasaID"},
        {Site::YouTube, "youtubeID"},
        {Site::Facebook, "facebookID"},
        {Site::SchoolTube, "schooltubeID"},
        {Site::Dropbox, "dropboxID"},
        {Site::Twitpic, "twitpicID"},
}};
constexpr std::array<std::pair<Service, const char *>, MediaIntf::Services.size()> queueElements{{
        {MediaIntf::YouTube, "youtubeQueued"},
        {MediaIntf::Picasa, "picasaQueued"},
        {MediaIntf::Facebook, "facebookQueued"},
        {MediaIntf::Twitter, "twitterQueued"},
        {MediaIntf::Dropbox, "dropboxQueued"},
}};

// Characters XML 1.0 cannot carry would make the whole file unreadable, and a carriage return
// written as it is comes back as a line feed, so that every save would change the file again.
QString xmlSafe(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (char32_t c : text.toUcs4()) {
        if (c == '\r')
            c = '\n';
        if (c == '\t' || c == '\n' || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
            || (c >= 0x10000 && c <= 0x10FFFF))
            safe += QString::fromUcs4(&c, 1);
    }
    return safe;
}

/// The text of the element whose start the reader just read, up to its end; false on an XML
/// error before the end.
bool readText(QXmlStreamReader &xml, QString &text)
{
    text.clear();
    int depth = 1;
    while (depth > 0) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
            text += xml.text().left(MediaInfoFile::MaxTextLength - text.size());
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Invalid:
        case QXmlStreamReader::EndDocument:
        case QXmlStreamReader::DTD:
            return false;
        default:
            break;
        }
    }
    return true;
}

void apply(MediaIntf &media, QStringView name, const QString &text)
{
    if (name == u"FileTitle") {
        media.setTitle(text);
    } else if (name == u"FileAuthor") {
        media.setAuthor(text);
    } else if (name == u"FileKeyWord") {
        media.setKeywords(MediaInfoFile::splitKeywords(text));
    } else if (name == u"FileDuration") {
        media.setDuration(text.trimmed().toLongLong());
    } else if (name == u"FileType") {
        bool ok = false;
        const int kind = text.trimmed().toInt(&ok);
        if (ok && kind >= 0 && kind < MediaIntf::Other)
            media.setKind(kind);
    } else if (name == u"FileDescription") {
        media.setDescription(text);
    } else {
        for (const auto &[site, element] : urlElements) {
            if (name == QLatin1StringView(element))
                return media.setLink(site, QUrl(text));
        }
        for (const auto &[site, element] : idElements) {
            if (name == QLatin1StringView(element))
                return media.setRemoteId(site, text);
        }
        for (const auto &[service, element] : queueElements) {
            if (name == QLatin1StringView(element))
                return media.setQueueState(service, text.trimmed().toInt());
        }
    }
}

} // namespace

QStringList MediaInfoFile::splitKeywords(const QString &text)
{
    QStringList keywords;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QString keyword = part.trimmed();
        if (!keyword.isEmpty() && keywords.size() < MaxKeywords)
            keywords << keyword;
    }
    return keywords;
}

bool MediaInfoFile::read(const QByteArray &bytes, MediaIntf &media)
{
    QXmlStreamReader xml(bytes.left(MaxFileSize));
    bool inRoot = false;
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!inRoot) {
                inRoot = true;
                break;
            }
            {
                const QString name = xml.name().toString();
                if (!readText(xml, text))
                    return false;
                apply(media, name, text);
            }
            break;
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::Invalid:
            return false;
        default:
            break;
        }
    }
    return !xml.hasError();
}

QByteArray MediaInfoFile::write(const MediaIntf &media)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("FileInformation"));
    const auto element = [&xml](const char *name, const QString &text) {
        xml.writeTextElement(QLatin1StringView(name), xmlSafe(text));
    };
    element("FileTitle", media.title());
    element("FileAuthor", media.author());
    element("FileKeyWord", media.keywords().join(QLatin1Char(',')));
    element("FileDuration", QString::number(media.duration()));
    element("FileType", QString::number(media.kind()));
    element("FileDescription", media.description());
    for (const auto &[site, name] : urlElements)
        element(name, media.link(site).toString());
    for (const auto &[site, name] : idElements)
        element(name, media.remoteId(site));
    for (const auto &[service, name] : queueElements)
        element(name, QString::number(media.queueState(service)));
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

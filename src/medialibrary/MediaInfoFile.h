#pragma once

#include <QByteArray>
#include <QStringList>

class MediaIntf;

/// The information file of a media object (".kvrd"): UTF-8 XML with the root
/// "FileInformation" and one text element per field.
///
/// Reading distrusts its input: it takes the elements it knows by name in any order, stops at
/// the first XML error keeping what it read before, refuses document type declarations (and so
/// every entity), and caps what one file can make it hold.
class MediaInfoFile
{
public:
    /// Larger files are read only this far, as if they ended there.
    static constexpr qsizetype MaxFileSize = 1 << 20;
    /// Longer element texts are cut to this many characters.
    static constexpr qsizetype MaxTextLength = 64 * 1024;
    /// Keywords beyond this many are dropped.
    static constexpr qsizetype MaxKeywords = 1000;

    /// Fills the information fields of `media` from `bytes`; the fields the file does not name
    /// keep their values. False when the document was not read to its end.
    static bool read(const QByteArray &bytes, MediaIntf &media);
    static QByteArray write(const MediaIntf &media);

    /// The keywords of a comma-separated text: each trimmed, empty ones dropped.
    static QStringList splitKeywords(const QString &text);
};

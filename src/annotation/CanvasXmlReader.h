#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QIODevice;

/// A pull reader for canvas files, with the calls and the error model of QXmlStreamReader.
///
/// Canvas files run to tens of megabytes of small elements, and Qt's stream reader needs about
/// five times as long as libxml2 for them (it decodes everything to UTF-16 and builds a string
/// per name and attribute). This reader works on the UTF-8 bytes in memory and hands out views
/// into them. It checks well-formedness (tag nesting, attribute syntax, references, one root),
/// skips comments, processing instructions, text and CDATA, and refuses document type
/// declarations, so no entity can expand.
///
/// Only elements are reported: readNext() moves from element to element. An empty element
/// (`<a/>`) gives a start and then an end, as in Qt.
class CanvasXmlReader
{
public:
    enum TokenType { NoToken, Invalid, StartElement, EndElement, EndDocument };
    enum Error { NoError, CustomError, NotWellFormedError, PrematureEndOfDocumentError };

    CanvasXmlReader() = default;
    explicit CanvasXmlReader(QByteArray data);

    /// Starts over on `data`.
    void setData(QByteArray data);
    /// Starts over on everything `device` holds from its current position; a device that cannot
    /// be read, or is too large to hold, leaves the reader with an error.
    void setDevice(QIODevice *device);

    TokenType readNext();
    /// Reads to the next start element inside the current element: false at the current
    /// element's end, at the end of the document or on an error (Qt's rule).
    bool readNextStartElement();
    /// From a start element, reads past its matching end; from the end of a child, past the
    /// parent's end.
    void skipCurrentElement();

    TokenType tokenType() const { return token; }
    bool isStartElement() const { return token == StartElement; }
    bool isEndElement() const { return token == EndElement; }
    bool atEnd() const { return token == EndDocument || token == Invalid; }
    /// The current element's name.
    QByteArrayView name() const { return elementName; }

    /// An attribute of the current start element, with references resolved.
    std::optional<QByteArrayView> attribute(QByteArrayView name) const;
    bool hasAttribute(QByteArrayView name) const { return attribute(name).has_value(); }

    bool hasError() const { return errorKind != NoError; }
    Error error() const { return errorKind; }
    QString errorString() const { return message; }
    /// Stops reading with `message` as a CustomError (the first error wins).
    void raiseError(const QString &message);
    /// Where reading stopped, for log messages.
    qint64 characterOffset() const { return qint64(position); }

private:
    struct Attribute
    {
        QByteArrayView name;
        QByteArrayView raw;
        // Set when the value held references or line breaks and was rewritten into `decoded`.
        qsizetype decodedStart = -1;
        qsizetype decodedLength = 0;
    };

    void fail(Error kind, const char *text);
    bool readProlog();
    bool readMarkup(bool inContent);
    bool readStartTag();
    bool readEndTag();
    bool readAttributeValue(Attribute &attribute);
    bool checkReferences(QByteArrayView text);
    bool skipPast(QByteArrayView terminator);
    void skipSpace();
    QByteArrayView readName();
    TokenType epilog();

    QByteArray bytes;
    qsizetype position = 0;
    TokenType token = NoToken;
    bool prologRead = false;
    bool rootClosed = false;
    bool pendingEnd = false;
    QByteArrayView elementName;
    std::vector<QByteArrayView> openElements;
    std::vector<Attribute> attributes;
    std::string decoded;
    Error errorKind = NoError;
    QString message;
};

#include "CanvasXmlReader.h"

#include <QIODevice>

#include <cstring>
#include <utility>

namespace {

// Larger canvas files than this are refused rather than read into memory: ten thousand long
// strokes take about 70 MB.
constexpr qint64 LargestDocument = qint64(1) << 30;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(unsigned char c)
{
    const unsigned char lower = c | 0x20;
    return (lower >= 'a' && lower <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

bool isNameChar(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool allSpace(QByteArrayView text)
{
    for (char c : text) {
        if (!isSpace(c))
            return false;
    }
    return true;
}

void appendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

/// Resolves the reference that starts at text[at] ('&'); on success `at` is moved past its ';'
/// and the character is appended to `out` when given.
bool resolveReference(QByteArrayView text, qsizetype &at, std::string *out)
{
    const qsizetype semicolon = text.indexOf(';', at);
    // The longest reference worth reading is "&#x10FFFF;".
    if (semicolon < 0 || semicolon - at > 10)
        return false;
    const QByteArrayView body = text.sliced(at + 1, semicolon - at - 1);
    char32_t code = 0;
    if (body == "lt") {
        code = '<';
    } else if (body == "gt") {
        code = '>';
    } else if (body == "amp") {
        code = '&';
    } else if (body == "quot") {
        code = '"';
    } else if (body == "apos") {
        code = '\'';
    } else if (body.startsWith('#') && body.size() > 1) {
        const bool hex = body[1] == 'x';
        const QByteArrayView digits = body.sliced(hex ? 2 : 1);
        if (digits.isEmpty())
            return false;
        for (char c : digits) {
            const unsigned char lower = c | 0x20;
            unsigned digit = 0;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (hex && lower >= 'a' && lower <= 'f')
                digit = unsigned(lower - 'a' + 10);
            else
                return false;
            code = code * (hex ? 16 : 10) + digit;
            if (code > 0x10FFFF)
                return false;
        }
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD
                || (code >= 0x20 && code < 0xD800) || (code > 0xDFFF && code < 0xFFFE)
                || code >= 0x10000;
        if (!allowed)
            return false;
    } else {
        return false;
    }
    if (out)
        appendUtf8(*out, code);
    at = semicolon + 1;
    return true;
}

} // namespace

CanvasXmlReader::CanvasXmlReader(QByteArray data)
{
    setData(std::move(data));
}

void CanvasXmlReader::setData(QByteArray data)
{
    bytes = std::move(data);
    position = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    token = NoToken;
    prologRead = false;
    rootClosed = false;
    pendingEnd = false;
    elementName = {};
    openElements.clear();
    attributes.clear();
    decoded.clear();
    errorKind = NoError;
    message.clear();
}

void CanvasXmlReader::setDevice(QIODevice *device)
{
    setData({});
    if (!device || !device->isReadable()) {
        fail(NotWellFormedError, "The device is not open for reading.");
        return;
    }
    if (!device->isSequential() && device->size() - device->pos() > LargestDocument) {
        fail(NotWellFormedError, "The document is too large.");
        return;
    }
    setData(device->readAll());
}

void CanvasXmlReader::raiseError(const QString &text)
{
    errorKind = CustomError;
    message = text;
    token = Invalid;
}

void CanvasXmlReader::fail(Error kind, const char *text)
{
    if (errorKind == NoError) {
        errorKind = kind;
        message = QString::fromLatin1(text);
    }
    token = Invalid;
}

std::optional<QByteArrayView> CanvasXmlReader::attribute(QByteArrayView name) const
{
    if (token != StartElement)
        return std::nullopt;
    for (const Attribute &candidate : attributes) {
        if (candidate.name == name) {
            if (candidate.decodedStart < 0)
                return candidate.raw;
            return QByteArrayView(decoded.data() + candidate.decodedStart, candidate.decodedLength);
        }
    }
    return std::nullopt;
}

CanvasXmlReader::TokenType CanvasXmlReader::readNext()
{
    if (token == Invalid || token == EndDocument)
        return token;
    if (pendingEnd) {
        pendingEnd = false;
        attributes.clear();
        elementName = openElements.back();
        openElements.pop_back();
        rootClosed = openElements.empty();
        return token = EndElement;
    }
    if (!prologRead) {
        prologRead = true;
        if (!readProlog())
            return token;
    }
    while (token != Invalid) {
        if (rootClosed)
            return token = epilog();
        const char *begin = bytes.constData() + position;
        const qsizetype left = bytes.size() - position;
        const char *open = static_cast<const char *>(std::memchr(begin, '<', size_t(left)));
        const QByteArrayView text(begin, open ? open - begin : left);
        if (openElements.empty() ? !allSpace(text) : !checkReferences(text)) {
            fail(NotWellFormedError,
                 openElements.empty() ? "Start tag expected." : "Invalid reference in text.");
            break;
        }
        if (!open) {
            fail(PrematureEndOfDocumentError, "Premature end of document.");
            break;
        }
        position = open - bytes.constData();
        const QByteArrayView rest = QByteArrayView(bytes).sliced(position);
        if (rest.startsWith("</"))
            return readEndTag() ? token = EndElement : token;
        if (rest.startsWith("<!--")) {
            skipPast("-->");
        } else if (rest.startsWith("<?")) {
            skipPast("?>");
        } else if (rest.startsWith("<![CDATA[")) {
            if (openElements.empty())
                fail(NotWellFormedError, "Start tag expected.");
            else
                skipPast("]]>");
        } else if (rest.startsWith("<!")) {
            // A DTD could declare entities; canvas files never carry one.
            fail(NotWellFormedError, "Document type declarations are not supported.");
        } else {
            return readStartTag() ? token = StartElement : token;
        }
    }
    return token;
}

bool CanvasXmlReader::readProlog()
{
    const QByteArrayView rest = QByteArrayView(bytes).sliced(position);
    if (!rest.startsWith("<?xml") || rest.size() < 6 || !isSpace(rest[5]))
        return true;
    const qsizetype end = rest.indexOf("?>");
    if (end < 0) {
        fail(PrematureEndOfDocumentError, "Premature end of document.");
        return false;
    }
    // The names are ASCII and the bytes are taken as UTF-8 (ASCII being a part of it).
    const QByteArrayView declaration = rest.first(end);
    const qsizetype encoding = declaration.indexOf("encoding");
    if (encoding >= 0) {
        QByteArrayView value = declaration.sliced(encoding + 8).trimmed();
        if (value.startsWith('='))
            value = value.sliced(1).trimmed();
        const QByteArray name = value.size() > 2 ? value.sliced(1).toByteArray().toLower() : "";
        if (!name.startsWith("utf-8") && !name.startsWith("us-ascii")) {
            fail(NotWellFormedError, "The document's encoding is not supported.");
            return false;
        }
    }
    position += end + 2;
    return true;
}

bool CanvasXmlReader::skipPast(QByteArrayView terminator)
{
    const qsizetype end = QByteArrayView(bytes).indexOf(terminator, position);
    if (end < 0) {
        fail(PrematureEndOfDocumentError, "Premature end of document.");
        return false;
    }
    position = end + terminator.size();
    return true;
}

void CanvasXmlReader::skipSpace()
{
    while (position < bytes.size() && isSpace(bytes[position]))
        ++position;
}

QByteArrayView CanvasXmlReader::readName()
{
    const qsizetype start = position;
    if (position < bytes.size() && isNameStart(uchar(bytes[position]))) {
        ++position;
        while (position < bytes.size() && isNameChar(uchar(bytes[position])))
            ++position;
    }
    return QByteArrayView(bytes).sliced(start, position - start);
}

bool CanvasXmlReader::readStartTag()
{
    ++position; // '<'
    const QByteArrayView tag = readName();
    if (tag.isEmpty()) {
        fail(NotWellFormedError, "Invalid element name.");
        return false;
    }
    attributes.clear();
    decoded.clear();
    for (;;) {
        const qsizetype before = position;
        skipSpace();
        if (position >= bytes.size()) {
            fail(PrematureEndOfDocumentError, "Premature end of document.");
            return false;
        }
        const char c = bytes[position];
        if (c == '>' || c == '/') {
            if (c == '/') {
                if (position + 1 >= bytes.size() || bytes[position + 1] != '>') {
                    fail(NotWellFormedError, "Expected '>'.");
                    return false;
                }
                ++position;
                pendingEnd = true;
            }
            ++position;
            elementName = tag;
            openElements.push_back(tag);
            return true;
        }
        if (position == before) {
            fail(NotWellFormedError, "Expected whitespace before an attribute.");
            return false;
        }
        Attribute attribute;
        attribute.name = readName();
        if (attribute.name.isEmpty()) {
            fail(NotWellFormedError, "Invalid attribute name.");
            return false;
        }
        skipSpace();
        if (position >= bytes.size() || bytes[position] != '=') {
            fail(NotWellFormedError, "Expected '=' after an attribute name.");
            return false;
        }
        ++position;
        skipSpace();
        if (!readAttributeValue(attribute))
            return false;
        for (const Attribute &earlier : attributes) {
            if (earlier.name == attribute.name) {
                fail(NotWellFormedError, "Attribute redefined.");
                return false;
            }
        }
        attributes.push_back(attribute);
    }
}

bool CanvasXmlReader::readAttributeValue(Attribute &attribute)
{
    if (position >= bytes.size() || (bytes[position] != '"' && bytes[position] != '\'')) {
        fail(NotWellFormedError, "Expected a quoted attribute value.");
        return false;
    }
    const char quote = bytes[position];
    const qsizetype start = position + 1;
    const qsizetype end = QByteArrayView(bytes).indexOf(quote, start);
    if (end < 0) {
        fail(PrematureEndOfDocumentError, "Premature end of document.");
        return false;
    }
    attribute.raw = QByteArrayView(bytes).sliced(start, end - start);
    position = end + 1;
    bool plain = true;
    for (char c : attribute.raw) {
        if (c == '<' || (uchar(c) < 0x20 && !isSpace(c))) {
            fail(NotWellFormedError, "Invalid character in an attribute value.");
            return false;
        }
        if (c == '&' || (c != ' ' && isSpace(c)))
            plain = false;
    }
    if (plain)
        return true;
    // References resolved and line breaks and tabs read as spaces, as XML asks of attributes.
    attribute.decodedStart = qsizetype(decoded.size());
    for (qsizetype at = 0; at < attribute.raw.size();) {
        const char c = attribute.raw[at];
        if (c == '&') {
            if (!resolveReference(attribute.raw, at, &decoded)) {
                fail(NotWellFormedError, "Invalid reference in an attribute value.");
                return false;
            }
            continue;
        }
        decoded += isSpace(c) ? ' ' : c;
        ++at;
    }
    attribute.decodedLength = qsizetype(decoded.size()) - attribute.decodedStart;
    return true;
}

bool CanvasXmlReader::checkReferences(QByteArrayView text)
{
    for (qsizetype at = text.indexOf('&'); at >= 0; at = text.indexOf('&', at)) {
        if (!resolveReference(text, at, nullptr))
            return false;
    }
    return true;
}

bool CanvasXmlReader::readEndTag()
{
    position += 2; // "</"
    const QByteArrayView tag = readName();
    skipSpace();
    if (position >= bytes.size()) {
        fail(PrematureEndOfDocumentError, "Premature end of document.");
        return false;
    }
    if (bytes[position] != '>' || openElements.empty() || openElements.back() != tag) {
        fail(NotWellFormedError, "Opening and ending tag mismatch.");
        return false;
    }
    ++position;
    attributes.clear();
    elementName = tag;
    openElements.pop_back();
    rootClosed = openElements.empty();
    return true;
}

CanvasXmlReader::TokenType CanvasXmlReader::epilog()
{
    for (;;) {
        skipSpace();
        if (position >= bytes.size())
            return EndDocument;
        const QByteArrayView rest = QByteArrayView(bytes).sliced(position);
        if (rest.startsWith("<!--")) {
            if (!skipPast("-->"))
                return Invalid;
        } else if (rest.startsWith("<?")) {
            if (!skipPast("?>"))
                return Invalid;
        } else {
            fail(NotWellFormedError, "Extra content at end of document.");
            return Invalid;
        }
    }
}

bool CanvasXmlReader::readNextStartElement()
{
    for (;;) {
        switch (readNext()) {
        case StartElement:
            return true;
        case EndElement:
        case EndDocument:
        case Invalid:
        case NoToken:
            return false;
        }
    }
}

void CanvasXmlReader::skipCurrentElement()
{
    if (openElements.empty())
        return;
    // Standing on a start, the element itself is open; standing on a child's end, its parent
    // is: either way reading stops when the innermost open element closes.
    const size_t outside = openElements.size() - 1;
    while (readNext() == StartElement || token == EndElement) {
        if (token == EndElement && openElements.size() == outside)
            return;
    }
}

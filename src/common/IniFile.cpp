#include "IniFile.h"

#include <QDataStream>
#include <QIODevice>
#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <string>

using namespace Qt::StringLiterals;

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

int digitValue(char16_t c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

/// The next logical line from `pos`, comment lines skipped. A line break inside quotes or after
/// a backslash continues the line; an unquoted ';' ends it (the rest is a comment). `equals` is
/// the offset of the first unquoted '=' in the line, or -1.
bool nextLine(QByteArrayView data, qsizetype &pos, QByteArrayView &line, qsizetype &equals)
{
    const qsizetype size = data.size();
    for (;;) {
        while (pos < size && (isBlank(data[pos]) || isLineEnd(data[pos])))
            ++pos;
        if (pos >= size)
            return false;
        if (data[pos] != ';')
            break;
        while (pos < size && !isLineEnd(data[pos]))
            ++pos;
    }
    const qsizetype start = pos;
    bool quoted = false;
    equals = -1;
    while (pos < size) {
        const char c = data[pos];
        if (c == '\\') {
            pos += 2;
            // "\r\n" and "\n\r" after a backslash are one line break.
            if (pos < size && isLineEnd(data[pos - 1]) && isLineEnd(data[pos])
                && data[pos] != data[pos - 1])
                ++pos;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (isLineEnd(c) || c == ';')
                break;
            if (c == '=' && equals < 0)
                equals = pos - start;
        }
        ++pos;
    }
    pos = qMin(pos, size);
    line = data.sliced(start, pos - start);
    return true;
}

QString unescapeKey(QByteArrayView raw)
{
    const QString text = QString::fromUtf8(raw);
    QString key;
    key.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            key += u'/';
            continue;
        }
        if (c == u'%') {
            const bool wide = i + 1 < text.size() && text.at(i + 1) == u'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            bool ok = false;
            const ushort code = first + digits <= text.size()
                    ? QStringView(text).sliced(first, digits).toUShort(&ok, 16)
                    : 0;
            if (ok) {
                key += QChar(code);
                i = first + digits - 1;
                continue;
            }
        }
        key += c;
    }
    return key;
}

void appendEscapedKey(QByteArray &out, QStringView key)
{
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == '/')
            out += '\\';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                 || c == '_' || c == '-' || c == '.')
            out += char(c);
        else if (c <= 0xff)
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0');
    }
}

/// A stored text back to its value: "@Type(...)" forms, "@@" for a text that starts with '@'.
QVariant textValue(const QString &text)
{
    if (!text.startsWith(u'@'))
        return text;
    if (text.endsWith(u')')) {
        const QStringView view(text);
        if (text.startsWith("@ByteArray("_L1))
            return view.sliced(11).chopped(1).toLatin1();
        if (text.startsWith("@String("_L1))
            return view.sliced(8).chopped(1).toString();
        const bool dateTime = text.startsWith("@DateTime("_L1);
        if (dateTime || text.startsWith("@Variant("_L1)) {
            const QByteArray bytes = view.sliced(dateTime ? 10 : 9).chopped(1).toLatin1();
            QDataStream stream(bytes);
            stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            QVariant value;
            stream >> value;
            return value;
        }
        const auto numbers = [&](qsizetype open) {
            QList<int> result;
            for (const QStringView part : view.sliced(open + 1).chopped(1).split(u' '))
                result.append(part.toInt());
            return result;
        };
        if (text.startsWith("@Rect("_L1)) {
            const QList<int> n = numbers(5);
            if (n.size() == 4)
                return QRect(n[0], n[1], n[2], n[3]);
        } else if (text.startsWith("@Size("_L1)) {
            const QList<int> n = numbers(5);
            if (n.size() == 2)
                return QSize(n[0], n[1]);
        } else if (text.startsWith("@Point("_L1)) {
            const QList<int> n = numbers(6);
            if (n.size() == 2)
                return QPoint(n[0], n[1]);
        } else if (text == "@Invalid()"_L1) {
            return {};
        }
    }
    if (text.startsWith("@@"_L1))
        return text.sliced(1);
    return text;
}

QVariant listValue(QStringList items)
{
    for (const QString &item : std::as_const(items)) {
        if (item.startsWith(u'@') && !item.startsWith("@@"_L1)) {
            QVariantList values;
            for (const QString &each : std::as_const(items))
                values.append(textValue(each));
            return values;
        }
    }
    for (QString &item : items) {
        if (item.startsWith(u'@'))
            item.remove(0, 1);
    }
    return items;
}

void chopBlanks(QString &text, qsizetype keep)
{
    qsizetype end = text.size();
    while (end > keep && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t'))
        --end;
    text.truncate(end);
}

/// The text after '=': quotes, backslash escapes, and commas that make a list.
QVariant decodeValue(QByteArrayView raw)
{
    QStringList items;
    QString current;
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype keep = 0; // text before this is never trimmed: it came from an escape or quotes
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < raw.size() && isBlank(raw[i]))
            ++i;
        keep = current.size();
    };
    skipBlanks();
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= raw.size())
                break;
            const char escape = raw[i++];
            static const char simple[] = "a\ab\bf\fn\nr\rt\tv\v\"\"?\?''\\\\";
            const char *found = std::char_traits<char>::find(simple, sizeof simple - 1, escape);
            if (found && (found - simple) % 2 == 0) {
                current += QLatin1Char(found[1]);
            } else if (escape == 'x' || digitValue(escape, 8) >= 0) {
                const int base = escape == 'x' ? 16 : 8;
                char16_t code = escape == 'x' ? 0 : char16_t(escape - '0');
                bool any = escape != 'x';
                for (int digit; i < raw.size() && (digit = digitValue(raw[i], base)) >= 0; ++i) {
                    code = char16_t(code * base + digit);
                    any = true;
                }
                if (any)
                    current += QChar(code);
            } else if (isLineEnd(escape)) {
                if (i < raw.size() && isLineEnd(raw[i]) && raw[i] != escape)
                    ++i;
            }
            keep = current.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes)
                skipBlanks();
        } else if (c == ',' && !inQuotes) {
            if (!quoted)
                chopBlanks(current, keep);
            items.append(current);
            current.clear();
            isList = true;
            quoted = false;
            ++i;
            skipBlanks();
        } else {
            qsizetype end = i + 1;
            while (end < raw.size() && raw[end] != '\\' && raw[end] != '"' && raw[end] != ',')
                ++end;
            current += QString::fromUtf8(raw.sliced(i, end - i));
            i = end;
        }
    }
    if (!quoted)
        chopBlanks(current, keep);
    if (!isList)
        return textValue(current);
    items.append(current);
    return listValue(items);
}

/// A value as one text, before escaping.
QString variantText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return u"@Invalid()"_s;
    case QMetaType::QByteArray:
        return "@ByteArray("_L1 + QLatin1StringView(value.toByteArray()) + u')';
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        QString text = value.toString();
        if (text.contains(QChar::Null))
            return "@String("_L1 + text + u')';
        if (text.startsWith(u'@'))
            text.prepend(u'@');
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QString::asprintf("@Rect(%d %d %d %d)", r.x(), r.y(), r.width(), r.height());
    }
    case QMetaType::QSize:
        return QString::asprintf("@Size(%d %d)", value.toSize().width(), value.toSize().height());
    case QMetaType::QPoint:
        return QString::asprintf("@Point(%d %d)", value.toPoint().x(), value.toPoint().y());
    default: {
        const bool dateTime = value.metaType().id() == QMetaType::QDateTime;
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
        stream << value;
        return QLatin1StringView(dateTime ? "@DateTime(" : "@Variant(") + QLatin1StringView(bytes)
                + u')';
    }
    }
}

void appendEscapedText(QByteArray &out, const QString &text)
{
    // Binary forms hold one byte per character and must not be turned into UTF-8.
    const bool bytes = text.startsWith("@ByteArray("_L1) || text.startsWith("@Variant("_L1)
            || text.startsWith("@DateTime("_L1);
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeHexDigit = false; // a hex digit right after "\x.." would be read as part of it
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        needsQuotes = needsQuotes || c == ';' || c == ',' || c == '=';
        const bool hexDigit = digitValue(c, 16) >= 0;
        if (escapeHexDigit && hexDigit) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeHexDigit = false;
        static const char simple[] = "\0"
                                     "0\aa\bb\ff\nn\rr\tt\vv\"\"\\\\";
        const char *found = c < 0x80
                ? std::char_traits<char>::find(simple, sizeof simple - 1, char(c))
                : nullptr;
        if (found && (found - simple) % 2 == 0) {
            out += '\\';
            out += found[1];
            escapeHexDigit = c == 0;
        } else if (c <= 0x1f || (bytes && c >= 0x7f)) {
            out += "\\x" + QByteArray::number(c, 16);
            escapeHexDigit = true;
        } else if (bytes || c < 0x80) {
            out += char(c);
        } else {
            // Outside ASCII: UTF-8, with the surrogate partner when there is one.
            const qsizetype length = QChar::isHighSurrogate(c) && i + 1 < text.size()
                            && text.at(i + 1).isLowSurrogate()
                    ? 2
                    : 1;
            out += QStringView(text).sliced(i, length).toUtf8();
            i += length - 1;
        }
    }
    if (needsQuotes || (out.size() > start && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

void appendValue(QByteArray &out, const QVariant &value)
{
    const int type = value.metaType().id();
    if (type == QMetaType::QStringList
        || (type == QMetaType::QVariantList && value.toList().size() != 1)) {
        const QVariantList items = value.toList();
        if (items.isEmpty())
            out += "@Invalid()";
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i > 0)
                out += ", ";
            appendEscapedText(out, variantText(items.at(i)));
        }
        return;
    }
    appendEscapedText(out, variantText(value));
}

} // namespace

bool IniFile::parse(QByteArrayView data, Values *values)
{
    if (data.startsWith("\xef\xbb\xbf"))
        data = data.sliced(3);
    bool ok = true;
    QString section;
    qsizetype pos = 0;
    QByteArrayView line;
    qsizetype equals = -1;
    while (nextLine(data, pos, line, equals)) {
        if (line.startsWith('[')) {
            qsizetype close = line.indexOf(']');
            if (close < 0) {
                ok = false;
                close = line.size();
            }
            const QByteArrayView name = line.sliced(1, close - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0)
                section.clear();
            else if (name.startsWith('%')
                     && name.sliced(1).compare("general", Qt::CaseInsensitive) == 0)
                section = QString::fromLatin1(name.sliced(1)) + u'/';
            else
                section = unescapeKey(name) + u'/';
            continue;
        }
        if (equals < 0) {
            ok = false;
            continue;
        }
        values->insert(section + unescapeKey(line.first(equals).trimmed()),
                       decodeValue(line.sliced(equals + 1)));
    }
    return ok;
}

QByteArray IniFile::serialize(const Values &values)
{
    QMap<QString, QMap<QString, QVariant>> sections;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        sections[section].insert(it.key().sliced(slash + 1), it.value());
    }
    QByteArray out;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        if (!out.isEmpty())
            out += '\n';
        QByteArray name;
        appendEscapedKey(name, section.key());
        if (name.isEmpty())
            name = "General";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            name.prepend('%');
        out += '[' + name + "]\n";
        for (auto it = section->cbegin(); it != section->cend(); ++it) {
            appendEscapedKey(out, it.key());
            out += '=';
            appendValue(out, it.value());
            out += '\n';
        }
    }
    return out;
}

QByteArray IniFile::valueText(const QVariant &value)
{
    QByteArray out;
    appendValue(out, value);
    return out;
}

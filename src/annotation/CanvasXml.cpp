#include "CanvasXml.h"

#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

#include <charconv>
#include <cmath>

const QString &CanvasXml::invalidFormatMessage()
{
    static const QString text = tr("Unable to read due to invalid format.");
    return text;
}

const QString &CanvasXml::corruptDataMessage()
{
    static const QString text = tr("Unable to read corrupt data.");
    return text;
}

const QString &CanvasXml::insufficientMemoryMessage()
{
    static const QString text = tr("Insufficient memory.");
    return text;
}

void CanvasXml::raise(CanvasXmlReader &reader, const QString &message)
{
    // The first of our messages wins; a parser error (a truncated or malformed file) is replaced
    // so that the user always sees one of the three texts.
    if (reader.error() == CanvasXmlReader::CustomError)
        return;
    reader.raiseError(message);
}

namespace {

/// The text of a number as the file holds it: "g" format with 6 significant digits, correctly
/// rounded, a negative zero written as "0".
struct NumberText
{
    explicit NumberText(double value)
    {
        const auto end = std::to_chars(text, text + sizeof text, value == 0 ? 0.0 : value,
                                       std::chars_format::general, 6);
        length = end.ptr - text;
    }
    QByteArrayView view() const { return QByteArrayView(text, length); }

    char text[32];
    qsizetype length = 0;
};

} // namespace

double CanvasXml::roundTrip(double value)
{
    const NumberText number(value);
    double read = 0;
    std::from_chars(number.text, number.text + number.length, read);
    return read;
}

void CanvasXml::writeDouble(CanvasXmlWriter &writer, QByteArrayView name, double value)
{
    writer.writeAttribute(name, NumberText(value).view());
}

void CanvasXml::writeInt(CanvasXmlWriter &writer, QByteArrayView name, qint64 value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value);
    writer.writeAttribute(name, QByteArrayView(text, end.ptr - text));
}

void CanvasXml::writeBool(CanvasXmlWriter &writer, QByteArrayView name, bool value)
{
    writer.writeAttribute(name, value ? "1" : "0");
}

namespace {

std::optional<QByteArrayView> attributeText(CanvasXmlReader &reader, QByteArrayView name)
{
    if (reader.hasError() || !reader.isStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return std::nullopt;
    }
    const auto value = reader.attribute(name);
    if (!value || value->isEmpty()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return std::nullopt;
    }
    // Surrounding blanks are allowed around a number, as in the files older tools wrote.
    QByteArrayView text = value->trimmed();
    if (text.startsWith('+'))
        text = text.sliced(1);
    return text;
}

/// The number the whole of `text` spells, or nothing.
template<typename Number> std::optional<Number> parse(QByteArrayView text)
{
    Number value{};
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> CanvasXml::readDouble(CanvasXmlReader &reader, QByteArrayView name)
{
    const auto text = attributeText(reader, name);
    if (!text)
        return std::nullopt;
    const auto value = parse<double>(*text);
    // "nan" and "inf" parse, but no coordinate, scale or opacity can use them.
    return value && std::isfinite(*value) ? *value : 0.0;
}

std::optional<int> CanvasXml::readInt(CanvasXmlReader &reader, QByteArrayView name)
{
    const auto text = attributeText(reader, name);
    if (!text)
        return std::nullopt;
    return parse<int>(*text).value_or(0);
}

std::optional<qint64> CanvasXml::readIntIn(CanvasXmlReader &reader, QByteArrayView name, qint64 min,
                                           qint64 max)
{
    const auto text = attributeText(reader, name);
    if (!text)
        return std::nullopt;
    const auto value = parse<qint64>(*text);
    if (!value || *value < min || *value > max) {
        raise(reader, corruptDataMessage());
        return std::nullopt;
    }
    return value;
}

bool CanvasXml::enterElement(CanvasXmlReader &reader, QByteArrayView name)
{
    if (reader.hasError() || (!reader.isStartElement() && !reader.readNextStartElement())) {
        raise(reader, corruptDataMessage());
        return false;
    }
    if (reader.name() != name) {
        raise(reader, corruptDataMessage());
        return false;
    }
    return true;
}

bool CanvasXml::leaveElement(CanvasXmlReader &reader)
{
    if (!reader.hasError())
        reader.skipCurrentElement();
    if (reader.hasError()) {
        raise(reader, corruptDataMessage());
        return false;
    }
    return true;
}

namespace {

constexpr std::array<QByteArrayView, 4> RectAttributes{"x", "y", "w", "h"};
constexpr std::array<QByteArrayView, 2> PointAttributes{"x", "y"};
constexpr std::array<QByteArrayView, 4> ColorAttributes{"r", "g", "b", "a"};

} // namespace

void CanvasXml::writeRect(CanvasXmlWriter &writer, const QRectF &rect, QByteArrayView name)
{
    writeNumbers<double, 4>(writer, name, RectAttributes,
                            {rect.x(), rect.y(), rect.width(), rect.height()});
}

std::optional<QRectF> CanvasXml::readRect(CanvasXmlReader &reader, QByteArrayView name)
{
    const auto values = readNumbers<double, 4>(reader, name, RectAttributes);
    if (!values)
        return std::nullopt;
    const auto [x, y, w, h] = *values;
    return QRectF(x, y, w, h);
}

void CanvasXml::writePoint(CanvasXmlWriter &writer, const QPointF &point, QByteArrayView name)
{
    writeNumbers<double, 2>(writer, name, PointAttributes, {point.x(), point.y()});
}

std::optional<QPointF> CanvasXml::readPoint(CanvasXmlReader &reader, QByteArrayView name)
{
    const auto values = readNumbers<double, 2>(reader, name, PointAttributes);
    if (!values)
        return std::nullopt;
    return QPointF((*values)[0], (*values)[1]);
}

void CanvasXml::writeColor(CanvasXmlWriter &writer, const QColor &color, QByteArrayView name)
{
    writeNumbers<int, 4>(writer, name, ColorAttributes,
                         {color.red(), color.green(), color.blue(), color.alpha()});
}

std::optional<QColor> CanvasXml::readColor(CanvasXmlReader &reader, QByteArrayView name)
{
    const auto values = readNumbers<int, 4>(reader, name, ColorAttributes);
    if (!values)
        return std::nullopt;
    const auto [r, g, b, a] = *values;
    // Out-of-range components would make QColor warn and turn invalid; clamp them instead.
    const auto channel = [](int value) {
        return qBound(0, value, 255);
    };
    return QColor(channel(r), channel(g), channel(b), channel(a));
}

void CanvasXml::writePen(CanvasXmlWriter &writer, const QPen &pen, QByteArrayView name)
{
    writer.writeStartElement(name);
    writeInt(writer, "style", int(pen.style()));
    writeDouble(writer, "width", pen.widthF());
    writeColor(writer, pen.color());
    writer.writeEndElement();
}

std::optional<QPen> CanvasXml::readPen(CanvasXmlReader &reader, QByteArrayView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto style = readInt(reader, "style");
    const auto width = readDouble(reader, "width");
    if (!style || !width)
        return std::nullopt;
    if (!reader.readNextStartElement()) {
        raise(reader, corruptDataMessage());
        return std::nullopt;
    }
    const auto color = readColor(reader);
    if (!color || !leaveElement(reader))
        return std::nullopt;
    // A custom dash style needs a dash pattern the file does not carry.
    const Qt::PenStyle penStyle = *style >= Qt::NoPen && *style < Qt::CustomDashLine
            ? Qt::PenStyle(*style)
            : Qt::SolidLine;
    // A negative width makes QPen warn and use 0; keep that choice explicit.
    return QPen(QBrush(*color), qMax(0.0, *width), penStyle, Qt::RoundCap, Qt::RoundJoin);
}

namespace {

bool brushHasColor(Qt::BrushStyle style)
{
    switch (style) {
    case Qt::NoBrush:
    case Qt::LinearGradientPattern:
    case Qt::RadialGradientPattern:
    case Qt::ConicalGradientPattern:
    case Qt::TexturePattern:
        return false;
    default:
        return true;
    }
}

} // namespace

void CanvasXml::writeBrush(CanvasXmlWriter &writer, const QBrush &brush, QByteArrayView name)
{
    writer.writeStartElement(name);
    writeInt(writer, "style", int(brush.style()));
    if (brushHasColor(brush.style()))
        writeColor(writer, brush.color());
    writer.writeEndElement();
}

std::optional<QBrush> CanvasXml::readBrush(CanvasXmlReader &reader, QByteArrayView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto style = readInt(reader, "style");
    if (!style)
        return std::nullopt;
    QBrush brush;
    if (*style != Qt::NoBrush) {
        QColor color;
        // The file has no colour for these styles; the brush comes back solid and colourless.
        if (*style < Qt::NoBrush || *style > Qt::TexturePattern
            || brushHasColor(Qt::BrushStyle(*style))) {
            if (!reader.readNextStartElement()) {
                raise(reader, corruptDataMessage());
                return std::nullopt;
            }
            const auto read = readColor(reader);
            if (!read)
                return std::nullopt;
            color = *read;
        }
        brush = QBrush(color, Qt::SolidPattern);
    }
    if (!leaveElement(reader))
        return std::nullopt;
    return brush;
}

void CanvasXml::writePath(CanvasXmlWriter &writer, const QPainterPath &path)
{
    writer.writeStartElement("path");
    writeInt(writer, "count", path.elementCount());
    // The bounds of the points as the file holds them, rounded to its digits, so that a path
    // read back writes the very same attributes again.
    QRectF bounds;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QRectF point(roundTrip(element.x), roundTrip(element.y), 0, 0);
        bounds = i == 0
                ? point
                : QRectF(
                        QPointF(qMin(bounds.left(), point.x()), qMin(bounds.top(), point.y())),
                        QPointF(qMax(bounds.right(), point.x()), qMax(bounds.bottom(), point.y())));
    }
    writeDouble(writer, "x", bounds.x());
    writeDouble(writer, "y", bounds.y());
    writeDouble(writer, "w", bounds.width());
    writeDouble(writer, "h", bounds.height());
    // A stroke has hundreds of points; one per line would make the file mostly indentation.
    const bool formatting = writer.autoFormatting();
    writer.setAutoFormatting(false);
    for (int i = 0; i < path.elementCount(); ++i)
        writePoint(writer, path.elementAt(i));
    writer.setAutoFormatting(formatting);
    writer.writeEndElement();
}

std::optional<QPainterPath> CanvasXml::readPath(CanvasXmlReader &reader)
{
    if (!enterElement(reader, "path"))
        return std::nullopt;
    const auto count = readInt(reader, "count");
    if (!count)
        return std::nullopt;
    QPainterPath path;
    for (int i = 0; i < *count; ++i) {
        // Each point is read only when the file really holds one, so a huge count in a small
        // file fails at its end instead of allocating.
        if (!reader.readNextStartElement()) {
            raise(reader, corruptDataMessage());
            return std::nullopt;
        }
        const auto point = readPoint(reader);
        if (!point)
            return std::nullopt;
        if (i == 0)
            path.moveTo(*point);
        else
            path.lineTo(*point);
    }
    if (!leaveElement(reader))
        return std::nullopt;
    return path;
}

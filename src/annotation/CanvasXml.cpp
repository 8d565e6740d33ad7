#include "CanvasXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

void CanvasXml::raise(QXmlStreamReader &reader, const QString &message)
{
    // The first of our messages wins; a parser error (a truncated or malformed file) is replaced
    // so that the user always sees one of the three texts.
    if (reader.error() == QXmlStreamReader::CustomError)
        return;
    reader.raiseError(message);
}

QString CanvasXml::formatDouble(double value)
{
    return QString::number(value, 'g', 6);
}

void CanvasXml::writeDouble(QXmlStreamWriter &writer, const QString &name, double value)
{
    writer.writeAttribute(name, formatDouble(value));
}

void CanvasXml::writeInt(QXmlStreamWriter &writer, const QString &name, qint64 value)
{
    writer.writeAttribute(name, QString::number(value));
}

void CanvasXml::writeBool(QXmlStreamWriter &writer, const QString &name, bool value)
{
    writer.writeAttribute(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

namespace {

std::optional<QString> attributeText(QXmlStreamReader &reader, QStringView name)
{
    if (reader.hasError() || !reader.isStartElement()) {
        CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
        return std::nullopt;
    }
    const QXmlStreamAttributes attributes = reader.attributes();
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.qualifiedName() == name && !attribute.value().isEmpty())
            return attribute.value().toString();
    }
    CanvasXml::raise(reader, CanvasXml::corruptDataMessage());
    return std::nullopt;
}

} // namespace

std::optional<double> CanvasXml::readDouble(QXmlStreamReader &reader, QStringView name)
{
    const auto text = attributeText(reader, name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double value = text->toDouble(&ok);
    // "nan" and "inf" parse, but no coordinate, scale or opacity can use them.
    return ok && std::isfinite(value) ? value : 0.0;
}

std::optional<int> CanvasXml::readInt(QXmlStreamReader &reader, QStringView name)
{
    const auto text = attributeText(reader, name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->toInt(&ok);
    return ok ? value : 0;
}

bool CanvasXml::enterElement(QXmlStreamReader &reader, QStringView name)
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

bool CanvasXml::leaveElement(QXmlStreamReader &reader)
{
    if (!reader.hasError())
        reader.skipCurrentElement();
    if (reader.hasError()) {
        raise(reader, corruptDataMessage());
        return false;
    }
    return true;
}

void CanvasXml::writeRect(QXmlStreamWriter &writer, const QRectF &rect, const QString &name)
{
    writer.writeStartElement(name);
    writeDouble(writer, QStringLiteral("x"), rect.x());
    writeDouble(writer, QStringLiteral("y"), rect.y());
    writeDouble(writer, QStringLiteral("w"), rect.width());
    writeDouble(writer, QStringLiteral("h"), rect.height());
    writer.writeEndElement();
}

std::optional<QRectF> CanvasXml::readRect(QXmlStreamReader &reader, QStringView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto x = readDouble(reader, u"x");
    const auto y = readDouble(reader, u"y");
    const auto w = readDouble(reader, u"w");
    const auto h = readDouble(reader, u"h");
    if (!x || !y || !w || !h || !leaveElement(reader))
        return std::nullopt;
    return QRectF(*x, *y, *w, *h);
}

void CanvasXml::writePoint(QXmlStreamWriter &writer, const QPointF &point, const QString &name)
{
    writer.writeStartElement(name);
    writeDouble(writer, QStringLiteral("x"), point.x());
    writeDouble(writer, QStringLiteral("y"), point.y());
    writer.writeEndElement();
}

std::optional<QPointF> CanvasXml::readPoint(QXmlStreamReader &reader, QStringView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto x = readDouble(reader, u"x");
    const auto y = readDouble(reader, u"y");
    if (!x || !y || !leaveElement(reader))
        return std::nullopt;
    return QPointF(*x, *y);
}

void CanvasXml::writeColor(QXmlStreamWriter &writer, const QColor &color, const QString &name)
{
    writer.writeStartElement(name);
    writeInt(writer, QStringLiteral("r"), color.red());
    writeInt(writer, QStringLiteral("g"), color.green());
    writeInt(writer, QStringLiteral("b"), color.blue());
    writeInt(writer, QStringLiteral("a"), color.alpha());
    writer.writeEndElement();
}

std::optional<QColor> CanvasXml::readColor(QXmlStreamReader &reader, QStringView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto r = readInt(reader, u"r");
    const auto g = readInt(reader, u"g");
    const auto b = readInt(reader, u"b");
    const auto a = readInt(reader, u"a");
    if (!r || !g || !b || !a || !leaveElement(reader))
        return std::nullopt;
    // Out-of-range components would make QColor warn and turn invalid; clamp them instead.
    const auto channel = [](int value) {
        return qBound(0, value, 255);
    };
    return QColor(channel(*r), channel(*g), channel(*b), channel(*a));
}

void CanvasXml::writePen(QXmlStreamWriter &writer, const QPen &pen, const QString &name)
{
    writer.writeStartElement(name);
    writeInt(writer, QStringLiteral("style"), int(pen.style()));
    writeDouble(writer, QStringLiteral("width"), pen.widthF());
    writeColor(writer, pen.color());
    writer.writeEndElement();
}

std::optional<QPen> CanvasXml::readPen(QXmlStreamReader &reader, QStringView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto style = readInt(reader, u"style");
    const auto width = readDouble(reader, u"width");
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

void CanvasXml::writeBrush(QXmlStreamWriter &writer, const QBrush &brush, const QString &name)
{
    writer.writeStartElement(name);
    writeInt(writer, QStringLiteral("style"), int(brush.style()));
    if (brushHasColor(brush.style()))
        writeColor(writer, brush.color());
    writer.writeEndElement();
}

std::optional<QBrush> CanvasXml::readBrush(QXmlStreamReader &reader, QStringView name)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    const auto style = readInt(reader, u"style");
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

void CanvasXml::writePath(QXmlStreamWriter &writer, const QPainterPath &path)
{
    writer.writeStartElement(QStringLiteral("path"));
    writeInt(writer, QStringLiteral("count"), path.elementCount());
    // The bounds of the points as the file holds them, rounded to its digits, so that a path
    // read back writes the very same attributes again.
    const auto rounded = [](qreal value) {
        return formatDouble(value).toDouble();
    };
    QRectF bounds;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QRectF point(rounded(element.x), rounded(element.y), 0, 0);
        bounds = i == 0
                ? point
                : QRectF(
                        QPointF(qMin(bounds.left(), point.x()), qMin(bounds.top(), point.y())),
                        QPointF(qMax(bounds.right(), point.x()), qMax(bounds.bottom(), point.y())));
    }
    writeDouble(writer, QStringLiteral("x"), bounds.x());
    writeDouble(writer, QStringLiteral("y"), bounds.y());
    writeDouble(writer, QStringLiteral("w"), bounds.width());
    writeDouble(writer, QStringLiteral("h"), bounds.height());
    // A stroke has hundreds of points; one per line would make the file mostly indentation.
    const bool formatting = writer.autoFormatting();
    writer.setAutoFormatting(false);
    for (int i = 0; i < path.elementCount(); ++i)
        writePoint(writer, path.elementAt(i));
    writer.setAutoFormatting(formatting);
    writer.writeEndElement();
}

std::optional<QPainterPath> CanvasXml::readPath(QXmlStreamReader &reader)
{
    if (!enterElement(reader, u"path"))
        return std::nullopt;
    const auto count = readInt(reader, u"count");
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

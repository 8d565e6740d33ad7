#pragma once

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <type_traits>

#include "CanvasXmlReader.h"
#include "CanvasXmlWriter.h"

/// The element and attribute codecs shared by the canvas file and its items, and the three
/// messages a failed read leaves in the reader.
///
/// Readers work on a CanvasXmlReader and follow one rule: an element codec uses the start
/// element the reader stands on, or reads the next one when it stands on none, checks its name,
/// and leaves the reader on the element's end so that the next codec can move on. Every failure
/// is raised as the reader's custom error with one of the messages below and answered with an
/// empty result; once the reader has an error every codec answers empty at once.
///
/// Numbers are written in "g" format with 6 significant digits, booleans as "0" or "1".
class CanvasXml
{
    Q_DECLARE_TR_FUNCTIONS(CanvasXml)

public:
    /// The `document` envelope is missing or is not one this version reads.
    static const QString &invalidFormatMessage();
    /// Something the file must contain is missing or malformed.
    static const QString &corruptDataMessage();
    /// An item of an unknown type, or one that could not be allocated.
    static const QString &insufficientMemoryMessage();

    /// Raises `message` as the reader's custom error unless it already carries one of ours.
    static void raise(CanvasXmlReader &reader, const QString &message);

    /// The number `value` reads back as once written to the file.
    static double roundTrip(double value);
    static void writeDouble(CanvasXmlWriter &writer, QByteArrayView name, double value);
    static void writeInt(CanvasXmlWriter &writer, QByteArrayView name, qint64 value);
    static void writeBool(CanvasXmlWriter &writer, QByteArrayView name, bool value);

    /// An attribute of the current element. Missing or empty raises "corrupt data"; text that
    /// is not a finite number reads as 0.
    static std::optional<double> readDouble(CanvasXmlReader &reader, QByteArrayView name);
    static std::optional<int> readInt(CanvasXmlReader &reader, QByteArrayView name);
    /// An integer attribute that must lie in [`min`, `max`]; anything else, text that is not a
    /// whole number included, raises "corrupt data".
    static std::optional<qint64> readIntIn(CanvasXmlReader &reader, QByteArrayView name, qint64 min,
                                           qint64 max);

    /// An element whose attributes are all numbers (a rectangle, a point, a colour, a line).
    template<typename Number, std::size_t Count>
    static void writeNumbers(CanvasXmlWriter &writer, QByteArrayView name,
                             const std::array<QByteArrayView, Count> &attributes,
                             const std::array<Number, Count> &values);
    /// Reads such an element (see the class comment); nothing when an attribute is missing.
    template<typename Number, std::size_t Count>
    static std::optional<std::array<Number, Count>>
    readNumbers(CanvasXmlReader &reader, QByteArrayView name,
                const std::array<QByteArrayView, Count> &attributes);

    static void writeRect(CanvasXmlWriter &writer, const QRectF &rect,
                          QByteArrayView name = "rect");
    static std::optional<QRectF> readRect(CanvasXmlReader &reader, QByteArrayView name = "rect");

    static void writePoint(CanvasXmlWriter &writer, const QPointF &point,
                           QByteArrayView name = "point");
    static std::optional<QPointF> readPoint(CanvasXmlReader &reader, QByteArrayView name = "point");

    static void writeColor(CanvasXmlWriter &writer, const QColor &color,
                           QByteArrayView name = "color");
    static std::optional<QColor> readColor(CanvasXmlReader &reader, QByteArrayView name = "color");

    /// Style and width, and the colour as a child element. Cap and join are not stored: the pen
    /// comes back with round ones and the item adjusts them.
    static void writePen(CanvasXmlWriter &writer, const QPen &pen, QByteArrayView name = "pen");
    static std::optional<QPen> readPen(CanvasXmlReader &reader, QByteArrayView name = "pen");

    /// The style, and a colour child for every style that has one. Any style but "no brush"
    /// comes back as a solid brush: patterns, gradients and textures are not stored.
    static void writeBrush(CanvasXmlWriter &writer, const QBrush &brush,
                           QByteArrayView name = "brush");
    static std::optional<QBrush> readBrush(CanvasXmlReader &reader, QByteArrayView name = "brush");

    /// A `path` element: its element count and bounding rectangle as attributes and one point
    /// per path element (curve control points included). The points are written on one line.
    static void writePath(CanvasXmlWriter &writer, const QPainterPath &path);
    /// Reads `count` points as they come (never trusting `count` for an allocation) and joins
    /// them with straight segments.
    static std::optional<QPainterPath> readPath(CanvasXmlReader &reader);

    /// Moves the reader onto the start element `name` (see the class comment).
    static bool enterElement(CanvasXmlReader &reader, QByteArrayView name);
    /// From the start of an element or the end of one of its children, reads past the element's
    /// end; the reader then stands on that end element.
    static bool leaveElement(CanvasXmlReader &reader);
};

template<typename Number, std::size_t Count>
inline void CanvasXml::writeNumbers(CanvasXmlWriter &writer, QByteArrayView name,
                                    const std::array<QByteArrayView, Count> &attributes,
                                    const std::array<Number, Count> &values)
{
    writer.writeStartElement(name);
    for (std::size_t i = 0; i < Count; ++i) {
        if constexpr (std::is_floating_point_v<Number>)
            writeDouble(writer, attributes[i], values[i]);
        else
            writeInt(writer, attributes[i], values[i]);
    }
    writer.writeEndElement();
}

template<typename Number, std::size_t Count>
inline std::optional<std::array<Number, Count>>
CanvasXml::readNumbers(CanvasXmlReader &reader, QByteArrayView name,
                       const std::array<QByteArrayView, Count> &attributes)
{
    if (!enterElement(reader, name))
        return std::nullopt;
    std::array<Number, Count> values{};
    for (std::size_t i = 0; i < Count; ++i) {
        std::optional<Number> value;
        if constexpr (std::is_floating_point_v<Number>)
            value = readDouble(reader, attributes[i]);
        else
            value = readInt(reader, attributes[i]);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    if (!leaveElement(reader))
        return std::nullopt;
    return values;
}

#pragma once

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringView>

#include <optional>

class QXmlStreamReader;
class QXmlStreamWriter;

/// The element and attribute codecs shared by the canvas file and its items, and the three
/// messages a failed read leaves in the reader.
///
/// Readers work on a QXmlStreamReader and follow one rule: an element codec uses the start
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
    static void raise(QXmlStreamReader &reader, const QString &message);

    static QString formatDouble(double value);
    static void writeDouble(QXmlStreamWriter &writer, const QString &name, double value);
    static void writeInt(QXmlStreamWriter &writer, const QString &name, qint64 value);
    static void writeBool(QXmlStreamWriter &writer, const QString &name, bool value);

    /// An attribute of the current element. Missing or empty raises "corrupt data"; text that
    /// is not a finite number reads as 0.
    static std::optional<double> readDouble(QXmlStreamReader &reader, QStringView name);
    static std::optional<int> readInt(QXmlStreamReader &reader, QStringView name);

    static void writeRect(QXmlStreamWriter &writer, const QRectF &rect,
                          const QString &name = QStringLiteral("rect"));
    static std::optional<QRectF> readRect(QXmlStreamReader &reader, QStringView name = u"rect");

    static void writePoint(QXmlStreamWriter &writer, const QPointF &point,
                           const QString &name = QStringLiteral("point"));
    static std::optional<QPointF> readPoint(QXmlStreamReader &reader, QStringView name = u"point");

    static void writeColor(QXmlStreamWriter &writer, const QColor &color,
                           const QString &name = QStringLiteral("color"));
    static std::optional<QColor> readColor(QXmlStreamReader &reader, QStringView name = u"color");

    /// Style and width, and the colour as a child element. Cap and join are not stored: the pen
    /// comes back with round ones and the item adjusts them.
    static void writePen(QXmlStreamWriter &writer, const QPen &pen,
                         const QString &name = QStringLiteral("pen"));
    static std::optional<QPen> readPen(QXmlStreamReader &reader, QStringView name = u"pen");

    /// The style, and a colour child for every style that has one. Any style but "no brush"
    /// comes back as a solid brush: patterns, gradients and textures are not stored.
    static void writeBrush(QXmlStreamWriter &writer, const QBrush &brush,
                           const QString &name = QStringLiteral("brush"));
    static std::optional<QBrush> readBrush(QXmlStreamReader &reader, QStringView name = u"brush");

    /// A `path` element: its element count and bounding rectangle as attributes and one point
    /// per path element (curve control points included). The points are written on one line.
    static void writePath(QXmlStreamWriter &writer, const QPainterPath &path);
    /// Reads `count` points as they come (never trusting `count` for an allocation) and joins
    /// them with straight segments.
    static std::optional<QPainterPath> readPath(QXmlStreamReader &reader);

    /// Moves the reader onto the start element `name` (see the class comment).
    static bool enterElement(QXmlStreamReader &reader, QStringView name);
    /// From the start of an element or the end of one of its children, reads past the element's
    /// end; the reader then stands on that end element.
    static bool leaveElement(QXmlStreamReader &reader);
};

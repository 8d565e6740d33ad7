#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <string>
#include <vector>

class QIODevice;

/// Writes XML elements and attributes in UTF-8, laid out as QXmlStreamWriter lays them out with
/// automatic formatting (four spaces per level, empty elements closed with "/>").
///
/// The text is gathered in memory and handed to the device in large blocks: a canvas file has
/// millions of small elements, and a device write for each made saving several times slower.
/// A failed device write (a full or removed disk) sets hasError(); nothing more is written.
class CanvasXmlWriter
{
public:
    CanvasXmlWriter() = default;
    ~CanvasXmlWriter();
    CanvasXmlWriter(const CanvasXmlWriter &) = delete;
    CanvasXmlWriter &operator=(const CanvasXmlWriter &) = delete;

    void setDevice(QIODevice *device);
    QIODevice *device() const { return output; }

    void setAutoFormatting(bool on) { formatting = on; }
    bool autoFormatting() const { return formatting; }

    /// `<?xml version="1.0" encoding="UTF-8"?>`
    void writeStartDocument();
    void writeStartElement(QByteArrayView name);
    /// An attribute of the element just started; the value is escaped as needed.
    void writeAttribute(QByteArrayView name, QByteArrayView value);
    void writeEndElement();
    /// Closes every open element, ends the last line and flushes.
    void writeEndDocument();
    /// Hands what is gathered to the device.
    bool flush();

    bool hasError() const { return failed; }

private:
    void finishStartTag();
    void indent(size_t level);

    QIODevice *output = nullptr;
    QByteArray pending;
    std::vector<std::string> openElements;
    bool formatting = false;
    bool inStartTag = false;
    bool failed = false;
};

#include "CanvasXmlWriter.h"

#include <QIODevice>

namespace {

constexpr qsizetype BlockSize = 1 << 20;

} // namespace

CanvasXmlWriter::~CanvasXmlWriter()
{
    flush();
}

void CanvasXmlWriter::setDevice(QIODevice *device)
{
    flush();
    output = device;
    pending.resize(0);
    pending.reserve(BlockSize + 4096);
    openElements.clear();
    inStartTag = false;
    failed = device == nullptr;
}

bool CanvasXmlWriter::flush()
{
    if (!failed && output && !pending.isEmpty()) {
        if (output->write(pending) != pending.size())
            failed = true;
    }
    // Keeps the block's memory for the next one (clear() would give it back).
    pending.resize(0);
    return !failed;
}

void CanvasXmlWriter::writeStartDocument()
{
    pending.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
}

void CanvasXmlWriter::indent(size_t level)
{
    pending.append('\n');
    for (size_t i = 0; i < level; ++i)
        pending.append("    ", 4);
}

void CanvasXmlWriter::finishStartTag()
{
    if (inStartTag) {
        pending.append('>');
        inStartTag = false;
    }
}

void CanvasXmlWriter::writeStartElement(QByteArrayView name)
{
    finishStartTag();
    if (formatting)
        indent(openElements.size());
    pending.append('<');
    pending.append(name);
    openElements.emplace_back(name.data(), size_t(name.size()));
    inStartTag = true;
}

void CanvasXmlWriter::writeAttribute(QByteArrayView name, QByteArrayView value)
{
    if (!inStartTag)
        return;
    pending.append(' ');
    pending.append(name);
    pending.append("=\"", 2);
    for (const char c : value) {
        switch (c) {
        case '<':
            pending.append("&lt;");
            break;
        case '>':
            pending.append("&gt;");
            break;
        case '&':
            pending.append("&amp;");
            break;
        case '"':
            pending.append("&quot;");
            break;
        case '\n':
            pending.append("&#10;");
            break;
        case '\r':
            pending.append("&#13;");
            break;
        case '\t':
            pending.append("&#9;");
            break;
        default:
            pending.append(c);
        }
    }
    pending.append('"');
}

void CanvasXmlWriter::writeEndElement()
{
    if (openElements.empty())
        return;
    if (inStartTag) {
        pending.append("/>", 2);
        inStartTag = false;
    } else {
        if (formatting)
            indent(openElements.size() - 1);
        pending.append("</", 2);
        pending.append(openElements.back().data(), qsizetype(openElements.back().size()));
        pending.append('>');
    }
    openElements.pop_back();
    if (pending.size() >= BlockSize)
        flush();
}

void CanvasXmlWriter::writeEndDocument()
{
    while (!openElements.empty())
        writeEndElement();
    pending.append('\n');
    flush();
}

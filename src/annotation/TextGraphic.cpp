#include "TextGraphic.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

TextGraphic::TextGraphic(QGraphicsItem *parent)
    : QGraphicsTextItem(parent)
    , BaseGraphic(this, Capabilities)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    setTextInteractionFlags(Qt::TextEditorInteraction);
}

TextGraphic::TextGraphic(const TextGraphic &other)
    : QGraphicsTextItem()
    , BaseGraphic(other, this)
{
    setFlags(ItemIsMovable | ItemIsSelectable);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setDocument(other.document()->clone(this));
    setDefaultTextColor(other.defaultTextColor());
    setFont(other.QGraphicsTextItem::font());
    setTextWidth(other.textWidth());
    copyCommonState(other);
}

QFont TextGraphic::font() const
{
    return QGraphicsTextItem::font();
}

QColor TextGraphic::textColor() const
{
    const QTextCharFormat format = textCursor().charFormat();
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return defaultTextColor();
    return format.foreground().color();
}

void TextGraphic::mergeFormat(const QTextCharFormat &format)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.mergeCharFormat(format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TextGraphic::setFontFamily(const QString &family)
{
    QTextCharFormat format;
    format.setFontFamilies({family});
    mergeFormat(format);
}

void TextGraphic::setFontPointSize(qreal pointSize)
{
    if (pointSize <= 0)
        return;
    QTextCharFormat format;
    format.setFontPointSize(pointSize);
    mergeFormat(format);
}

void TextGraphic::setTextColor(const QColor &color)
{
    QTextCharFormat format;
    format.setForeground(color);
    mergeFormat(format);
}

void TextGraphic::setBold(bool bold)
{
    QTextCharFormat format;
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    mergeFormat(format);
}

void TextGraphic::setItalic(bool italic)
{
    QTextCharFormat format;
    format.setFontItalic(italic);
    mergeFormat(format);
}

void TextGraphic::setUnderline(bool underline)
{
    QTextCharFormat format;
    format.setFontUnderline(underline);
    mergeFormat(format);
}

void TextGraphic::focusOutEvent(QFocusEvent *event)
{
    QGraphicsTextItem::focusOutEvent(event);
    Q_EMIT lostFocus(*this);
}

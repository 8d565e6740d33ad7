#pragma once

#include "BaseGraphic.h"

#include <QGraphicsTextItem>

class QTextCharFormat;

/// A text box edited in place. Formatting applies at the text cursor: to the selected text, or,
/// without a selection, to what is typed next. Each change is one step of the document's own
/// undo. Text boxes are not written to the canvas file.
class TextGraphic : public QGraphicsTextItem, public BaseGraphic
{
    Q_OBJECT

public:
    enum { Type = UserType + 4 };
    static constexpr quint32 Capabilities = 0xFBF8;

    explicit TextGraphic(QGraphicsItem *parent = nullptr);
    /// A copy for cloning: the rich text, default colour, font and width, the BaseGraphic state
    /// and the common item state.
    TextGraphic(const TextGraphic &other);

    int type() const override { return Type; }

    QFont font() const override;
    /// The colour at the text cursor; the default text colour where none was set.
    QColor textColor() const override;
    void setFontFamily(const QString &family) override;
    void setFontPointSize(qreal pointSize) override;
    void setTextColor(const QColor &color) override;
    void setBold(bool bold) override;
    void setItalic(bool italic) override;
    void setUnderline(bool underline) override;

    using BaseGraphic::scale;
    using BaseGraphic::setScale;

Q_SIGNALS:
    /// Editing ended; the editor drops the box when it was left empty.
    void lostFocus(QGraphicsTextItem &item);

protected:
    void focusOutEvent(QFocusEvent *event) override;

private:
    void mergeFormat(const QTextCharFormat &format);
};

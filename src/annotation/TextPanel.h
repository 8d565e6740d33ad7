#pragma once

#include "ToolSettingsPanel.h"

#include <QColor>
#include <QFont>

class QComboBox;
class QFontComboBox;
class QToolButton;

/// The settings of the text tool: font family and size, bold, italic, underline and colour.
///
/// Each change goes to the annotation component, when there is one, which applies it to the
/// selected text and to the text typed from now on.
class TextPanel : public ToolSettingsPanel
{
    Q_OBJECT

public:
    explicit TextPanel(QWidget *parent = nullptr);

public Q_SLOTS:
    void fontEditingFinished();
    void fontFamilyChanged(QFont newFont);
    void sizeEditingFinished();
    /// `index` into the platform's standard font sizes, which fill the size list.
    void fontSizeChanged(int index);
    void boldBtnClicked(bool on);
    void italicBtnClicked(bool on);
    void underlineBtnClicked(bool on);
    void fontColorChanged(QColor newColor);

private:
    QToolButton *addStyleButton(const char *objectName, const QString &text, const char *icon,
                                bool on);

    QFontComboBox *fontComboBox;
    QComboBox *fontSizeComboBox;
    QToolButton *boldBtn;
    QToolButton *italicBtn;
    QToolButton *underlineBtn;
};

#include "TextPanel.h"

#include "AnnotationIntf.h"
#include "ColorCube.h"
#include "FontSizeValidator.h"

#include <QFontComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {

constexpr int MinFontSize = 1;
constexpr int MaxFontSize = 99;

} // namespace

TextPanel::TextPanel(QWidget *parent)
    : ToolSettingsPanel(parent)
{
    setObjectName(QStringLiteral("TextPanel"));
    AnnotationIntf *annotation = AnnotationIntf::current();
    QFont font = annotation ? annotation->textFont() : this->font();
    if (font.pointSize() <= 0)
        font.setPointSize(12); // a pixel-sized font has no point size to show

    fontComboBox = new QFontComboBox(this);
    fontComboBox->setObjectName(QStringLiteral("fontComboBox"));
    fontComboBox->setToolTip(tr("Font"));
    // A typed name the list does not know must not join the list of installed fonts.
    fontComboBox->setInsertPolicy(QComboBox::NoInsert);
    fontComboBox->setCurrentFont(font);

    fontSizeComboBox = new QComboBox(this);
    fontSizeComboBox->setObjectName(QStringLiteral("fontSizeComboBox"));
    fontSizeComboBox->setToolTip(tr("Font size in points"));
    fontSizeComboBox->setEditable(true);
    // Typed sizes are not added to the list: its rows must stay the standard sizes, which
    // fontSizeChanged() looks up by index.
    fontSizeComboBox->setInsertPolicy(QComboBox::NoInsert);
    for (int size : QFontDatabase::standardSizes())
        fontSizeComboBox->addItem(QString::number(size));
    fontSizeComboBox->lineEdit()->setMaxLength(2);
    fontSizeComboBox->setValidator(
            new FontSizeValidator(MinFontSize, MaxFontSize, fontSizeComboBox));
    fontSizeComboBox->setEditText(QString::number(font.pointSize()));

    boldBtn = addStyleButton("boldBtn", tr("Bold"), "bold", font.bold());
    italicBtn = addStyleButton("italicBtn", tr("Italic"), "italic", font.italic());
    underlineBtn = addStyleButton("underlineBtn", tr("Underline"), "underline", font.underline());

    if (annotation)
        colorCube()->setColor(annotation->textColor());

    auto *fontRow = new QHBoxLayout;
    fontRow->setSpacing(4);
    fontRow->addWidget(fontComboBox, 1);
    fontRow->addWidget(fontSizeComboBox);
    auto *styleRow = new QHBoxLayout;
    styleRow->setSpacing(2);
    styleRow->addWidget(boldBtn);
    styleRow->addWidget(italicBtn);
    styleRow->addWidget(underlineBtn);
    styleRow->addStretch(1);
    QGridLayout *grid = settingsGrid();
    grid->addWidget(new QLabel(tr("Font:"), this), 0, 0);
    grid->addLayout(fontRow, 0, 1);
    grid->addWidget(new QLabel(tr("Style:"), this), 1, 0);
    grid->addLayout(styleRow, 1, 1);

    connect(fontComboBox, &QFontComboBox::currentFontChanged, this, &TextPanel::fontFamilyChanged);
    connect(fontComboBox->lineEdit(), &QLineEdit::editingFinished, this,
            &TextPanel::fontEditingFinished);
    connect(fontSizeComboBox, &QComboBox::activated, this, &TextPanel::fontSizeChanged);
    connect(fontSizeComboBox->lineEdit(), &QLineEdit::editingFinished, this,
            &TextPanel::sizeEditingFinished);
    connect(boldBtn, &QToolButton::clicked, this, &TextPanel::boldBtnClicked);
    connect(italicBtn, &QToolButton::clicked, this, &TextPanel::italicBtnClicked);
    connect(underlineBtn, &QToolButton::clicked, this, &TextPanel::underlineBtnClicked);
    connect(colorCube(), &ColorCube::colorChanged, this, &TextPanel::fontColorChanged);
}

void TextPanel::fontEditingFinished()
{
    // A family typed that the list does not know is put back, so the field never names a font
    // that the text is not shown in.
    const QString current = fontComboBox->currentFont().family();
    if (fontComboBox->currentText() != current)
        fontComboBox->setEditText(current);
}

void TextPanel::fontFamilyChanged(QFont newFont)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setFontFamily(newFont.family());
}

void TextPanel::sizeEditingFinished()
{
    // The validator lets only sizes in range through; anything else leaves the text's size.
    bool isNumber = false;
    const int size = fontSizeComboBox->currentText().toInt(&isNumber);
    if (!isNumber || size < MinFontSize || size > MaxFontSize)
        return;
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setFontSize(size);
}

void TextPanel::fontSizeChanged(int index)
{
    const QList<int> sizes = QFontDatabase::standardSizes();
    if (index < 0 || index >= sizes.size())
        return;
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setFontSize(sizes.at(index));
}

void TextPanel::boldBtnClicked(bool on)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setBold(on);
}

void TextPanel::italicBtnClicked(bool on)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setItalic(on);
}

void TextPanel::underlineBtnClicked(bool on)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setUnderline(on);
}

void TextPanel::fontColorChanged(QColor newColor)
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setTextColor(newColor);
}

QToolButton *TextPanel::addStyleButton(const char *objectName, const QString &text,
                                       const char *icon, bool on)
{
    const QString path = QStringLiteral(":/Image/pics/") + QLatin1String(icon);
    QIcon states;
    states.addFile(path + QStringLiteral(".png"), QSize(), QIcon::Normal, QIcon::Off);
    states.addFile(path + QStringLiteral("-pressed.png"), QSize(), QIcon::Normal, QIcon::On);
    auto *button = new QToolButton(this);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(text);
    button->setIcon(states);
    button->setIconSize(QSize(24, 24));
    button->setCheckable(true);
    button->setChecked(on);
    button->setAutoRaise(true);
    return button;
}

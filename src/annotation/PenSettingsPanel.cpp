#include "PenSettingsPanel.h"

#include "ColorCube.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

constexpr int MinThickness = 1;
constexpr int MaxThickness = 99;
constexpr int DefaultThickness = 8;

int alphaOf(int transparency)
{
    return 255 - transparency * 255 / 100;
}

/// The slider position whose alpha comes closest to `alpha`.
int transparencyOf(int alpha)
{
    return int(std::lround((255 - alpha) * 100.0 / 255.0));
}

QSlider *makeSlider(QWidget *parent, const char *objectName, int minimum, int maximum)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(objectName));
    slider->setRange(minimum, maximum);
    slider->setMinimumWidth(140);
    return slider;
}

QLabel *makeValueLabel(QWidget *parent, const char *objectName)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    // Wide enough for " 100 %", so the slider does not jump as the number grows.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral(" 100 %  ")));
    return label;
}

} // namespace

PenSettingsPanel::PenSettingsPanel(AnnotationIntf::PenTool tool, QWidget *parent)
    : ToolSettingsPanel(parent)
    , penTool(tool)
{
    thicknessSlider = makeSlider(this, "thicknessSlider", MinThickness, MaxThickness);
    thicknessLabel = makeValueLabel(this, "thicknessLabel");
    transparencySlider = makeSlider(this, "transparencySlider", 0, 100);
    transparencyLabel = makeValueLabel(this, "transparencyLabel");

    int thickness = DefaultThickness;
    if (AnnotationIntf *annotation = AnnotationIntf::current()) {
        thickness = std::clamp(int(std::lround(annotation->penWidth(tool))), MinThickness,
                               MaxThickness);
        const QColor color = annotation->penColor(tool);
        transparencySlider->setValue(transparencyOf(color.alpha()));
        colorCube()->setColor(color);
    }
    thicknessSlider->setValue(thickness);
    showThickness(thicknessSlider->value());
    showTransparency(transparencySlider->value());

    QGridLayout *grid = settingsGrid();
    grid->addWidget(new QLabel(tr("Thickness:"), this), 0, 0);
    grid->addWidget(thicknessSlider, 0, 1);
    grid->addWidget(thicknessLabel, 0, 2);
    grid->addWidget(new QLabel(tr("Transparency:"), this), 1, 0);
    grid->addWidget(transparencySlider, 1, 1);
    grid->addWidget(transparencyLabel, 1, 2);

    connect(thicknessSlider, &QSlider::valueChanged, this, &PenSettingsPanel::thicknessChanged);
    connect(transparencySlider, &QSlider::valueChanged, this, &PenSettingsPanel::opacityChanged);
    connect(colorCube(), &ColorCube::colorChanged, this, &PenSettingsPanel::colorChanged);
}

void PenSettingsPanel::thicknessChanged(int value)
{
    showThickness(value);
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setPenWidth(penTool, value);
}

void PenSettingsPanel::opacityChanged(int value)
{
    showTransparency(value);
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setPenColor(penTool, penColor(value));
}

void PenSettingsPanel::colorChanged(QColor newColor)
{
    colorCube()->setColor(newColor);
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setPenColor(penTool, penColor(transparencySlider->value()));
}

QColor PenSettingsPanel::penColor(int transparency) const
{
    QColor color = colorCube()->color();
    color.setAlpha(alphaOf(transparency));
    return color;
}

void PenSettingsPanel::showThickness(int value)
{
    thicknessLabel->setText(tr(" %1 px").arg(value));
}

void PenSettingsPanel::showTransparency(int value)
{
    transparencyLabel->setText(QStringLiteral(" %1 %").arg(value));
}

#include "ColorCube.h"

#include "ColorButton.h"
#include "ColorWheel.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include <tuple>

ColorCube::ColorCube(QWidget *parent)
    : QWidget(parent)
{
    curColorBtn = new ColorButton(this);
    curColorBtn->setObjectName(QStringLiteral("curColorBtn"));
    curColorBtn->setToolTip(tr("Current colour"));
    curColorBtn->setFixedSize(40, 40);
    curColorBtn->setColor(current);
    connect(curColorBtn, &ColorButton::clickToGetColor, this, &ColorCube::pick);

    // Three rows of three, warm to cool, the colours a teacher reaches for first.
    auto *swatches = new QGridLayout;
    swatches->setSpacing(2);
    const std::tuple<const char *, QColor, QString> presets[] = {
            {"redBtn", QColor(255, 0, 0), tr("Red")},
            {"lightGreenBtn", QColor(146, 208, 80), tr("Light green")},
            {"orangeBtn", QColor(255, 153, 0), tr("Orange")},
            {"yellowBtn", QColor(255, 235, 0), tr("Yellow")},
            {"skyBlueBtn", QColor(0, 176, 240), tr("Sky blue")},
            {"greenBtn", QColor(0, 140, 60), tr("Green")},
            {"darkBlueBtn", QColor(0, 40, 130), tr("Dark blue")},
            {"brownBtn", QColor(140, 80, 30), tr("Brown")},
            {"peachRedBtn", QColor(255, 110, 100), tr("Peach red")},
    };
    int index = 0;
    for (const auto &[objectName, color, name] : presets) {
        swatches->addWidget(addSwatch(objectName, color, name), index / 3, index % 3);
        ++index;
    }

    wheel = new ColorWheel(this);
    wheel->setObjectName(QStringLiteral("colorWheel"));
    wheel->setFixedSize(wheel->sizeHint());
    wheel->setColor(current);
    connect(wheel, &ColorWheel::colorChanged, this, &ColorCube::pick);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(curColorBtn, 0, Qt::AlignVCenter);
    layout->addLayout(swatches);
    layout->addWidget(wheel, 0, Qt::AlignVCenter);
}

void ColorCube::setColor(const QColor &color)
{
    current = color;
    current.setAlpha(255);
    curColorBtn->setColor(current);
    wheel->setColor(current);
}

void ColorCube::pick(QColor color)
{
    setColor(color);
    Q_EMIT colorChanged(current);
}

ColorButton *ColorCube::addSwatch(const char *objectName, const QColor &color, const QString &name)
{
    auto *button = new ColorButton(this);
    button->setObjectName(QLatin1String(objectName));
    button->setToolTip(name);
    button->setFixedSize(22, 22);
    button->setColor(color);
    connect(button, &ColorButton::clickToGetColor, this, &ColorCube::pick);
    return button;
}

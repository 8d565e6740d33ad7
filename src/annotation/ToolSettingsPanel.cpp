#include "ToolSettingsPanel.h"

#include "ColorCube.h"

#include <QGridLayout>
#include <QHBoxLayout>

ToolSettingsPanel::ToolSettingsPanel(QWidget *parent)
    : QWidget(parent)
{
    grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    cube = new ColorCube(this);
    cube->setObjectName(QStringLiteral("colorCube"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(12);
    layout->addLayout(grid);
    layout->addWidget(cube, 0, Qt::AlignVCenter);
}

#include "PresenterPanel.h"

#include <DocCamToolButton.h>

#include <QHBoxLayout>

PresenterPanel::PresenterPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PresenterPanel"));
    visorBtn = makeDocCamToolButton(this, QStringLiteral("visorBtn"), tr("Visor"),
                                    QStringLiteral(":/Image/pics/presenter_visor.png"));
    spotlightBtn = makeDocCamToolButton(this, QStringLiteral("spotlightBtn"), tr("Spotlight"),
                                        QStringLiteral(":/Image/pics/presenter_spotlight.png"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(visorBtn);
    layout->addWidget(spotlightBtn);
    layout->addStretch(1);
    connect(visorBtn, &QToolButton::clicked, this, &PresenterPanel::visorRequested);
    connect(spotlightBtn, &QToolButton::clicked, this, &PresenterPanel::spotlightRequested);
}

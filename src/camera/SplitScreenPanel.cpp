#include "SplitScreenPanel.h"

#include "ui_SplitScreenPanel.h"

SplitScreenPanel::SplitScreenPanel(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::SplitScreenPanel>())
{
    ui->setupUi(this);
    connect(ui->oneSplitBtn, &QToolButton::clicked, this, &SplitScreenPanel::oneSplitRequested);
    connect(ui->pipSplitBtn, &QToolButton::clicked, this, &SplitScreenPanel::pipSplitRequested);
    connect(ui->dwSplitBtn, &QToolButton::clicked, this, &SplitScreenPanel::dwTwoSplitRequested);
    connect(ui->dmSplitBtn, &QToolButton::clicked, this, &SplitScreenPanel::dmTwoSplitRequested);
    connect(ui->dThreeSplitBtn, &QToolButton::clicked, this,
            &SplitScreenPanel::dThreeSplitRequested);
    connect(ui->wThreeSplitBtn, &QToolButton::clicked, this,
            &SplitScreenPanel::wThreeSplitRequested);
    connect(ui->mThreeSplitBtn, &QToolButton::clicked, this,
            &SplitScreenPanel::mThreeSplitRequested);
}

SplitScreenPanel::~SplitScreenPanel() = default;

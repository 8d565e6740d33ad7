#include "ImageControlPanel.h"

#include "ui_ImageControlPanel.h"

ImageControlPanel::ImageControlPanel(QWidget *parent)
    : QFrame(parent)
    , ui(std::make_unique<Ui::ImageControlPanel>())
{
    ui->setupUi(this);
    connect(ui->fullScreenBtn, &QToolButton::clicked, this, &ImageControlPanel::fullScreenClicked);
    connect(ui->closeBtn, &QToolButton::clicked, this, &ImageControlPanel::closeClicked);
}

ImageControlPanel::~ImageControlPanel() = default;

void ImageControlPanel::clickFullScreen()
{
    ui->fullScreenBtn->click();
}

bool ImageControlPanel::isFullScreenChecked() const
{
    return ui->fullScreenBtn->isChecked();
}

void ImageControlPanel::splitModeChangedUI(int mode)
{
    bool closable;
    switch (mode) {
    case 0:
    case 1:
    case 2:
    case 7:
    case 8:
        closable = true;
        break;
    case 3:
    case 4:
    case 5:
    case 6:
        closable = false;
        break;
    default:
        return;
    }
    ui->closeBtn->setVisible(closable);
    ui->line_2->setVisible(closable);
}

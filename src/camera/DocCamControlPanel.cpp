#include "DocCamControlPanel.h"

#include "DocCamActionStatus.h"
#include "DocCamAdjustToolsPanel.h"
#include "DocCamToolButton.h"
#include "KivoscopeIntf.h"

#include <QGridLayout>
#include <QToolButton>
#include <QVBoxLayout>

DocCamControlPanel::DocCamControlPanel(KivoscopeIntf *controller, QWidget *parent)
    : QWidget(parent)
    , controller(controller)
{
    setObjectName(QStringLiteral("DocCamControlPanel"));
    std::tie(autoFocusBtn, zoomInBtn, zoomOutBtn, resetZoomBtn, pauseBtn, rotateBtn, mirrorBtn)
            = makeDocCamCommandButtons(this,
                                       {QStringLiteral("autoFocusBtn"), QStringLiteral("zoomInBtn"),
                                        QStringLiteral("zoomOutBtn"),
                                        QStringLiteral("resetZoomBtn"), QStringLiteral("pauseBtn"),
                                        QStringLiteral("rotateBtn"), QStringLiteral("mirrorBtn")},
                                       {tr("Auto focus"), tr("Zoom in"), tr("Zoom out"),
                                        tr("Reset zoom"), tr("Pause"), tr("Rotate"), tr("Mirror")});
    adjustBtn = makeDocCamToolButton(this, QStringLiteral("adjustBtn"), tr("Adjust image"),
                                     QStringLiteral(":/Image/pics/docCam/adjust_image.png"), true);

    // Focus and zoom on the first row, what is done to the whole picture on the second.
    auto *buttons = new QGridLayout;
    buttons->setSpacing(4);
    buttons->addWidget(autoFocusBtn, 0, 0);
    buttons->addWidget(zoomInBtn, 0, 1);
    buttons->addWidget(zoomOutBtn, 0, 2);
    buttons->addWidget(resetZoomBtn, 0, 3);
    buttons->addWidget(pauseBtn, 1, 0);
    buttons->addWidget(rotateBtn, 1, 1);
    buttons->addWidget(mirrorBtn, 1, 2);
    buttons->addWidget(adjustBtn, 1, 3);

    adjustContainer = new QWidget(this);
    adjustContainer->setObjectName(QStringLiteral("adjustContainer"));
    auto *containerLayout = new QVBoxLayout(adjustContainer);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    adjustTools = new DocCamAdjustToolsPanel(controller, adjustContainer);
    containerLayout->addWidget(adjustTools);
    adjustContainer->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(adjustContainer);
    layout->addStretch();

    connect(adjustBtn, &QToolButton::clicked, this, &DocCamControlPanel::adjustBtnClicked);
    connectDocCamCommandButtons(
            this,
            {autoFocusBtn, zoomInBtn, zoomOutBtn, resetZoomBtn, pauseBtn, rotateBtn, mirrorBtn});

    connect(controller, &KivoscopeIntf::actionStatusChanged, this,
            &DocCamControlPanel::updateUIWithActionStatus);
    connect(controller, &KivoscopeIntf::freezeStatusChanged, this,
            &DocCamControlPanel::pauseChangeUI);
    updateUIWithActionStatus(controller->actionStatus());
}

void DocCamControlPanel::adjustBtnClicked(bool checked)
{
    adjustOpen = checked;
    adjustContainer->setVisible(checked);
}

void DocCamControlPanel::autoFocusRequest()
{
    controller->autoFocus();
}

void DocCamControlPanel::zoomInRequest()
{
    controller->zoomIn();
}

void DocCamControlPanel::zoomOutRequest()
{
    controller->zoomOut();
}

void DocCamControlPanel::zoomResetRequest()
{
    controller->zoomReset();
}

void DocCamControlPanel::visionPauseRequest()
{
    // The click has already flipped the check; undo it so that the button shows the camera's
    // state, which arrives through freezeStatusChanged, and stays right if the camera refuses.
    pauseBtn->setChecked(!pauseBtn->isChecked());
    controller->toggleFreeze();
}

void DocCamControlPanel::visionRotateRequest()
{
    controller->rotate();
}

void DocCamControlPanel::visionMirrorRequest()
{
    controller->toggleMirror();
}

void DocCamControlPanel::updateUIWithActionStatus(uint status)
{
    using namespace DocCamAction;
    autoFocusBtn->setEnabled(status & AutoFocus);
    zoomInBtn->setEnabled(status & ZoomIn);
    zoomOutBtn->setEnabled(status & ZoomOut);
    resetZoomBtn->setEnabled(status & ZoomReset);
    pauseBtn->setEnabled(status & Pause);
    rotateBtn->setEnabled(status & Rotate);
    mirrorBtn->setEnabled(status & Mirror);
    // Adjustments need a live picture: none while frozen or without a camera.
    adjustBtn->setEnabled(isLive(status));
    if (!isLive(status) && adjustOpen)
        closeAdjustPanel();
}

void DocCamControlPanel::pauseChangeUI(bool on)
{
    pauseBtn->setChecked(on);
    if (on && adjustOpen)
        closeAdjustPanel();
}

void DocCamControlPanel::closeAdjustPanel()
{
    // Through the button, so that anyone watching it sees the panel close as if clicked; a
    // disabled button ignores click(), hence the direct route.
    if (adjustBtn->isEnabled()) {
        adjustBtn->click();
    } else {
        adjustBtn->setChecked(false);
        adjustBtnClicked(false);
    }
}

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
    const QString pics = QStringLiteral(":/Image/pics/docCam/");
    autoFocusBtn = makeDocCamToolButton(this, QStringLiteral("autoFocusBtn"), tr("Auto focus"),
                                        pics + QStringLiteral("focus.png"));
    zoomInBtn = makeDocCamToolButton(this, QStringLiteral("zoomInBtn"), tr("Zoom in"),
                                     pics + QStringLiteral("Zoom_In.png"));
    zoomOutBtn = makeDocCamToolButton(this, QStringLiteral("zoomOutBtn"), tr("Zoom out"),
                                      pics + QStringLiteral("Zoom_Out.png"));
    resetZoomBtn = makeDocCamToolButton(this, QStringLiteral("resetZoomBtn"), tr("Reset zoom"),
                                        pics + QStringLiteral("zoom_reset.png"));
    pauseBtn = makeDocCamToolButton(this, QStringLiteral("pauseBtn"), tr("Pause"),
                                    pics + QStringLiteral("pauseDoccam.png"), true);
    rotateBtn = makeDocCamToolButton(this, QStringLiteral("rotateBtn"), tr("Rotate"),
                                     pics + QStringLiteral("rotate.png"));
    mirrorBtn = makeDocCamToolButton(this, QStringLiteral("mirrorBtn"), tr("Mirror"),
                                     pics + QStringLiteral("flip.png"));
    adjustBtn = makeDocCamToolButton(this, QStringLiteral("adjustBtn"), tr("Adjust image"),
                                     pics + QStringLiteral("adjust_image.png"), true);

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
    connect(autoFocusBtn, &QToolButton::clicked, this, &DocCamControlPanel::autoFocusRequest);
    connect(zoomInBtn, &QToolButton::clicked, this, &DocCamControlPanel::zoomInRequest);
    connect(zoomOutBtn, &QToolButton::clicked, this, &DocCamControlPanel::zoomOutRequest);
    connect(resetZoomBtn, &QToolButton::clicked, this, &DocCamControlPanel::zoomResetRequest);
    connect(pauseBtn, &QToolButton::clicked, this, &DocCamControlPanel::visionPauseRequest);
    connect(rotateBtn, &QToolButton::clicked, this, &DocCamControlPanel::visionRotateRequest);
    connect(mirrorBtn, &QToolButton::clicked, this, &DocCamControlPanel::visionMirrorRequest);

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

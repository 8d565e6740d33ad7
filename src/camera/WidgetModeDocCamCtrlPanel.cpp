#include "WidgetModeDocCamCtrlPanel.h"

#include "DocCamActionStatus.h"
#include "DocCamToolButton.h"
#include "KivoscopeIntf.h"

#include <QHBoxLayout>
#include <QToolButton>

WidgetModeDocCamCtrlPanel::WidgetModeDocCamCtrlPanel(KivoscopeIntf *controller, QWidget *parent)
    : QWidget(parent)
    , controller(controller)
{
    setObjectName(QStringLiteral("WidgetModeDocCamCtrlPanel"));
    const QString pics = QStringLiteral(":/Image/pics/docCam/");
    focusBtn = makeDocCamToolButton(this, QStringLiteral("focusBtn"), tr("Auto focus"),
                                    pics + QStringLiteral("focus.png"));
    zoomInBtn = makeDocCamToolButton(this, QStringLiteral("zoomInBtn"), tr("Zoom in"),
                                     pics + QStringLiteral("Zoom_In.png"));
    zoomOutBtn = makeDocCamToolButton(this, QStringLiteral("zoomOutBtn"), tr("Zoom out"),
                                      pics + QStringLiteral("Zoom_Out.png"));
    zoomResetBtn = makeDocCamToolButton(this, QStringLiteral("zoomResetBtn"), tr("Zoom reset"),
                                        pics + QStringLiteral("zoom_reset.png"));
    pauseBtn = makeDocCamToolButton(this, QStringLiteral("pauseBtn"), tr("Pause"),
                                    pics + QStringLiteral("pauseDoccam.png"), true);
    rotateBtn = makeDocCamToolButton(this, QStringLiteral("rotateBtn"), tr("Rotate"),
                                     pics + QStringLiteral("rotate.png"));
    mirrorBtn = makeDocCamToolButton(this, QStringLiteral("mirrorBtn"), tr("Mirror"),
                                     pics + QStringLiteral("flip.png"));

    // The widget-mode bar floats over other applications: icons only, the names in tooltips.
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (QToolButton *button :
         {focusBtn, zoomInBtn, zoomOutBtn, zoomResetBtn, pauseBtn, rotateBtn, mirrorBtn}) {
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setMinimumWidth(0);
        layout->addWidget(button);
    }

    connect(focusBtn, &QToolButton::clicked, this, &WidgetModeDocCamCtrlPanel::autoFocusRequest);
    connect(zoomInBtn, &QToolButton::clicked, this, &WidgetModeDocCamCtrlPanel::zoomInRequest);
    connect(zoomOutBtn, &QToolButton::clicked, this, &WidgetModeDocCamCtrlPanel::zoomOutRequest);
    connect(zoomResetBtn, &QToolButton::clicked, this,
            &WidgetModeDocCamCtrlPanel::zoomResetRequest);
    connect(pauseBtn, &QToolButton::clicked, this, &WidgetModeDocCamCtrlPanel::visionPauseRequest);
    connect(rotateBtn, &QToolButton::clicked, this,
            &WidgetModeDocCamCtrlPanel::visionRotateRequest);
    connect(mirrorBtn, &QToolButton::clicked, this,
            &WidgetModeDocCamCtrlPanel::visionMirrorRequest);

    connect(controller, &KivoscopeIntf::actionStatusChanged, this,
            &WidgetModeDocCamCtrlPanel::actionStatusChangeUI);
    connect(controller, &KivoscopeIntf::freezeStatusChanged, this,
            &WidgetModeDocCamCtrlPanel::freezeStatusChangeUI);
    actionStatusChangeUI(controller->actionStatus());
}

void WidgetModeDocCamCtrlPanel::autoFocusRequest()
{
    controller->autoFocus();
}

void WidgetModeDocCamCtrlPanel::zoomInRequest()
{
    controller->zoomIn();
}

void WidgetModeDocCamCtrlPanel::zoomOutRequest()
{
    controller->zoomOut();
}

void WidgetModeDocCamCtrlPanel::zoomResetRequest()
{
    controller->zoomReset();
}

void WidgetModeDocCamCtrlPanel::visionPauseRequest()
{
    // Show the camera's state, not the click: freezeStatusChanged sets the check.
    pauseBtn->setChecked(!pauseBtn->isChecked());
    controller->toggleFreeze();
}

void WidgetModeDocCamCtrlPanel::visionRotateRequest()
{
    controller->rotate();
}

void WidgetModeDocCamCtrlPanel::visionMirrorRequest()
{
    controller->toggleMirror();
}

void WidgetModeDocCamCtrlPanel::actionStatusChangeUI(uint status)
{
    using namespace DocCamAction;
    focusBtn->setEnabled(status & AutoFocus);
    zoomInBtn->setEnabled(status & ZoomIn);
    zoomOutBtn->setEnabled(status & ZoomOut);
    zoomResetBtn->setEnabled(status & ZoomReset);
    pauseBtn->setEnabled(status & Pause);
    rotateBtn->setEnabled(status & Rotate);
    mirrorBtn->setEnabled(status & Mirror);
}

void WidgetModeDocCamCtrlPanel::freezeStatusChangeUI(bool on)
{
    pauseBtn->setChecked(on);
}

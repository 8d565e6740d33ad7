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
    std::tie(focusBtn, zoomInBtn, zoomOutBtn, zoomResetBtn, pauseBtn, rotateBtn, mirrorBtn)
            = makeDocCamCommandButtons(this,
                                       {QStringLiteral("focusBtn"), QStringLiteral("zoomInBtn"),
                                        QStringLiteral("zoomOutBtn"),
                                        QStringLiteral("zoomResetBtn"), QStringLiteral("pauseBtn"),
                                        QStringLiteral("rotateBtn"), QStringLiteral("mirrorBtn")},
                                       {tr("Auto focus"), tr("Zoom in"), tr("Zoom out"),
                                        tr("Zoom reset"), tr("Pause"), tr("Rotate"), tr("Mirror")});

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

    connectDocCamCommandButtons(
            this, {focusBtn, zoomInBtn, zoomOutBtn, zoomResetBtn, pauseBtn, rotateBtn, mirrorBtn});

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

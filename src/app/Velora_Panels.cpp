// The panels that slide over the picture, the first-launch rule, and widget mode.

#include "PanelSlider.h"
#include "ToolsPanel.h"
#include "Velora.h"
#include "WidgetModeToolBar.h"
#include "ui_Velora.h"

#include <CameraWidget.h>
#include <KivoscopeIntf.h>
#include <SettingIntf.h>
#include <WebCamIntf.h>

#include <QScreen>

void Velora::toolPanelShow()
{
    toolsPanelStatus = true;
    toolsSlider->show();
}

void Velora::toolPanelHide()
{
    toolsPanelStatus = false;
    toolsSlider->hide();
}

void Velora::mediaLibPanelShow()
{
    if (!mediaLibSlider)
        return;
    mediaLibStatus = true;
    mediaLibSlider->show();
}

void Velora::mediaLibPanelClose()
{
    if (!mediaLibSlider)
        return;
    mediaLibStatus = false;
    mediaLibSlider->hide();
}

void Velora::mediaLibPanelResized()
{
    if (mediaLibSlider)
        mediaLibSlider->place();
}

void Velora::hideToolsPanelAndMediaLib()
{
    toolPanelHide();
    mediaLibPanelClose();
    applyMode();
}

void Velora::installMediaLibraryPanel(QWidget *panel)
{
    mediaLibPanel = panel;
    panel->setParent(ui->centralwidget);
    mediaLibSlider = std::make_unique<PanelSlider>(panel, mediaLibHandle, PanelSlider::Edge::Left,
                                                   SlideDuration);
    if (mediaLibStatus)
        mediaLibSlider->show(false);
    else
        mediaLibSlider->hide(false);
    mediaLibSlider->place();
    raiseUpAllControlWidgets();
}

void Velora::applyFirstLaunchRule()
{
    toolsSlider->hide(false);
    if (!settings->value(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), false).toBool()) {
        // Introduce the panels once, then get them out of the way of the picture.
        toolPanelShow();
        mediaLibPanelShow();
        QTimer::singleShot(FirstLaunchPanelsTime, this, &Velora::hideToolsPanelAndMediaLib);
        return;
    }
    toolsPanelStatus = settings->value(QStringLiteral("TOOLS_PANEL_STATUS"), false).toBool();
    mediaLibStatus = settings->value(QStringLiteral("MEDIA_LIB_STATUS"), false).toBool();
    if (toolsPanelStatus)
        toolsSlider->show(false);
    if (mediaLibSlider && mediaLibStatus)
        mediaLibSlider->show(false);
}

void Velora::becomeWidgetMode()
{
    if (inWidgetMode)
        return;
    inWidgetMode = true;
    hide();
    webCam->switchDisplayOff();
    widgetModeToolBar->takeCameraView(kivoscope->view());
    widgetModeToolBar->show();
    widgetModeToolBar->placeAtRightEdge(screen()->availableGeometry());
}

void Velora::leaveWidgetMode()
{
    if (!inWidgetMode)
        return;
    QWidget *view = widgetModeToolBar->giveBackCameraView();
    view->setParent(ui->centralwidget);
    view->show();
    inWidgetMode = false;
    widgetModeToolBar->hide();
    showMaximized();
    applyMode();
}

// The presenter masks: the visor and the spotlight laid over the picture, with the panels out of
// their way while one is up.

#include "PresenterPanel.h"
#include "ToolsPanel.h"
#include "Velora.h"
#include "ui_Velora.h"

#include <SpotlightIntf.h>
#include <VisorIntf.h>

void Velora::wirePresenter()
{
    // Both masks are windows of their own that stay on top, made once for the window's life so
    // that the spot and the curtain stay where the presenter left them.
    visor = VisorIntf::getInstance(this);
    spotlight = SpotlightIntf::getInstance(this);
    visor->hide();
    spotlight->hide();
    connect(visor, &VisorIntf::visorClosed, this, &Velora::leavePresenterMode);
    connect(spotlight, &SpotlightIntf::spotlightClosed, this, &Velora::leavePresenterMode);

    auto *panel = new PresenterPanel;
    toolsPanel->setSubPanel(ToolsPanel::Presenter, panel);
    connect(panel, &PresenterPanel::visorRequested, this, &Velora::showUpVisor);
    connect(panel, &PresenterPanel::spotlightRequested, this, &Velora::showUpSpotlight);
}

void Velora::showUpVisor()
{
    enterPresenterMode();
    spotlight->hide();
    visor->show();
    visor->widget()->raise();
}

void Velora::showUpSpotlight()
{
    enterPresenterMode();
    visor->hide();
    spotlight->show();
    spotlight->widget()->raise();
}

void Velora::enterPresenterMode()
{
    // Going from one mask to the other keeps the panels as they were before the first: by now
    // they are hidden, and remembering that would lose them.
    if (!presenterMode) {
        toolsPanelStatusBeforePresenter = toolsPanelStatus;
        mediaLibStatusBeforePresenter = mediaLibStatus;
    }
    presenterMode = true;
    if (toolsPanelStatus)
        toolPanelHide();
    if (mediaLibStatus)
        mediaLibPanelClose();
    placeMasks();
}

void Velora::leavePresenterMode()
{
    if (!presenterMode)
        return;
    presenterMode = false;
    // The close button hid its own mask; at exit the window takes it away.
    visor->hide();
    spotlight->hide();
    if (mediaLibStatusBeforePresenter)
        mediaLibPanelShow();
    if (toolsPanelStatusBeforePresenter)
        toolPanelShow();
}

void Velora::placeMasks()
{
    if (!visor)
        return;
    // In global coordinates: the window's own screen need not be the one at the desktop's origin.
    const QRect area(ui->centralwidget->mapToGlobal(QPoint(0, 0)), ui->centralwidget->size());
    for (QWidget *mask : {visor->widget(), spotlight->widget()}) {
        if (mask->geometry() != area)
            mask->setGeometry(area);
    }
}

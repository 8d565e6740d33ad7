#pragma once

#include <QWidget>

class DocCamAdjustToolsPanel;
class KivoscopeIntf;
class QToolButton;

/// The document camera's buttons in the tools panel: focus, zoom, pause, rotate, mirror, and
/// the picture adjustments that open below them. The panel keeps no camera state; it sends
/// every click to the controller and shows what the controller reports back.
class DocCamControlPanel : public QWidget
{
    Q_OBJECT

public:
    /// Connects itself to `controller`, which must outlive the panel.
    explicit DocCamControlPanel(KivoscopeIntf *controller, QWidget *parent = nullptr);

    DocCamAdjustToolsPanel *adjustPanel() const { return adjustTools; }
    bool isAdjustPanelOpen() const { return adjustOpen; }

public Q_SLOTS:
    void adjustBtnClicked(bool checked);
    void autoFocusRequest();
    void zoomInRequest();
    void zoomOutRequest();
    void zoomResetRequest();
    void visionPauseRequest();
    void visionRotateRequest();
    void visionMirrorRequest();
    void updateUIWithActionStatus(uint status);
    void pauseChangeUI(bool on);

private:
    void closeAdjustPanel();

    KivoscopeIntf *controller;
    QToolButton *autoFocusBtn;
    QToolButton *zoomInBtn;
    QToolButton *zoomOutBtn;
    QToolButton *resetZoomBtn;
    QToolButton *pauseBtn;
    QToolButton *rotateBtn;
    QToolButton *mirrorBtn;
    QToolButton *adjustBtn;
    QWidget *adjustContainer;
    DocCamAdjustToolsPanel *adjustTools;
    bool adjustOpen = false;
};

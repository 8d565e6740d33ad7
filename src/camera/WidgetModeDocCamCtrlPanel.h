#pragma once

#include <QWidget>

class KivoscopeIntf;
class QToolButton;

/// The document camera's basic buttons in the compact widget-mode bar. Like the tools panel's
/// camera buttons it only forwards clicks and mirrors what the controller reports.
class WidgetModeDocCamCtrlPanel : public QWidget
{
    Q_OBJECT

public:
    /// Connects itself to `controller`, which must outlive the panel.
    explicit WidgetModeDocCamCtrlPanel(KivoscopeIntf *controller, QWidget *parent = nullptr);

public Q_SLOTS:
    void autoFocusRequest();
    void zoomInRequest();
    void zoomOutRequest();
    void zoomResetRequest();
    void visionPauseRequest();
    void visionRotateRequest();
    void visionMirrorRequest();
    void actionStatusChangeUI(uint status);
    void freezeStatusChangeUI(bool on);

private:
    KivoscopeIntf *controller;
    QToolButton *focusBtn;
    QToolButton *zoomInBtn;
    QToolButton *zoomOutBtn;
    QToolButton *zoomResetBtn;
    QToolButton *pauseBtn;
    QToolButton *rotateBtn;
    QToolButton *mirrorBtn;
};

#pragma once

#include <QFrame>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class KivoscopeIntf;
class QAbstractButton;
class QLabel;
class QVBoxLayout;
class WidgetModeDocCamCtrlPanel;

/// The compact bar of widget mode: while the main window is hidden, the live document-camera
/// picture and the basic camera buttons float in this small always-on-top tool window at the
/// right edge of the desktop.
///
/// From top to bottom: a title row (the camera's name, a recording mark and the way back to the
/// main window), a square container the main window moves its camera view into, the camera
/// buttons, and a place where later components add their own button rows.
///
/// The bar follows the document camera's connection itself. The main window owns the bar,
/// connects closeClicked() to its way out of widget mode and feeds the recording and capture
/// states through the slots.
class WidgetModeToolBar : public QFrame
{
    Q_OBJECT

public:
    /// The bar's fixed width, which is also the side of the square camera picture.
    static constexpr int Width = 320;

    /// A top-level window; `kivoscope` must outlive the bar.
    explicit WidgetModeToolBar(KivoscopeIntf *kivoscope, QWidget *parent = nullptr);
    ~WidgetModeToolBar() override;

    QAbstractButton *closeButton() const;
    QWidget *cameraContainer() const { return container; }
    WidgetModeDocCamCtrlPanel *cameraPanel() const { return docCamPanel; }

    /// Moves `view` into the square container, fills it with the view and shows it.
    void takeCameraView(QWidget *view);
    /// Takes the view out of the bar and returns it, hidden and without a parent, for the caller
    /// to put back where it belongs; null when the bar holds none.
    QWidget *giveBackCameraView();
    QWidget *cameraView() const { return heldView.data(); }

    /// Puts `panel` below the camera buttons, replacing (and deleting) any earlier one. The bar
    /// takes ownership; null only removes the earlier one.
    void setExtraPanel(QWidget *panel);
    /// Shows the two picture buttons (camera and desktop) once a capture component is there.
    void setCaptureAvailable(bool available);
    QAbstractButton *docCamCaptureButton() const;
    QAbstractButton *screenCaptureButton() const;
    /// Shows the record button once a recording component is there.
    void setRecordingAvailable(bool available);
    QAbstractButton *recordButton() const { return recordBtn; }
    QWidget *extraPanel() const { return extra; }

    /// Flush against the right edge of `available` (a screen's available geometry), vertically
    /// centred, and never beyond its top-left: a bar taller than the screen keeps its title row,
    /// and with it the way back, on the screen.
    void placeAtRightEdge(const QRect &available);
    static QPoint rightEdgePosition(const QRect &available, const QSize &barSize);

    QString titleText() const;
    bool isRecordIndicatorShown() const;
    uint captureActionStatus() const { return lastCaptureStatus; }

public Q_SLOTS:
    void docCamConnectedChangedUI(QString modelName);
    void docCamDisconnectedChagnedUI();
    void recordUIChangedWithStatus(uint status);
    void captureActionStatusChangedUI(uint status);

Q_SIGNALS:
    void closeClicked();
    void docCamCaptureRequested();
    void screenCaptureRequested();
    void startRecordingRequested();
    void stopRecordRequested();

protected:
    // A frameless window has no title bar to drag; the title row stands in for it.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void buildTitleRow();

    KivoscopeIntf *kivoscope;
    QVBoxLayout *mainLayout = nullptr;
    QWidget *titleRow = nullptr;
    QLabel *titleLabel = nullptr;
    QLabel *recordIndicator = nullptr;
    QAbstractButton *closeBtn = nullptr;
    QWidget *container = nullptr;
    WidgetModeDocCamCtrlPanel *docCamPanel = nullptr;
    QWidget *extra = nullptr;
    QWidget *captureRow = nullptr;
    QAbstractButton *docCamCaptureBtn = nullptr;
    QAbstractButton *screenCaptureBtn = nullptr;
    QAbstractButton *recordBtn = nullptr;
    uint lastRecordStatus = 0;
    bool captureShown = false;
    bool recordShown = false;
    QPointer<QWidget> heldView;
    uint lastCaptureStatus = 0;
    bool dragging = false;
    // Where in the bar the pointer took hold of it, so the bar moves with the pointer rather than
    // jumping its corner under it.
    QPoint dragOffset;
};

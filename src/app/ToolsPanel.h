#pragma once

#include <QFrame>

#include <array>

class DocCamControlPanel;
class GradeCamHandOver;
class KivoscopeIntf;
class QToolButton;
class FittingScrollArea;
class QVBoxLayout;
class SplitScreenPanel;

/// The main window's sliding tool strip: one row of tool buttons and, below it, the sub-panel of
/// the tool that is open. At most one sub-panel is open at a time.
///
/// The panel sizes itself to what it shows (sizeChanged() follows every change), so the main
/// window can slide it in and out by its full height. It keeps no application state of its own:
/// the buttons ask through signals, and the slots show what the rest of the application reports.
class ToolsPanel : public QFrame
{
    Q_OBJECT

public:
    /// The sub-panels that the components built after this panel hand in with setSubPanel().
    enum SubPanel { Annotation, Capture, Presenter };

    /// `kivoscope` and `gradeCam` must outlive the panel.
    ToolsPanel(KivoscopeIntf *kivoscope, GradeCamHandOver *gradeCam, QWidget *parent = nullptr);

    /// Takes ownership of `panel` and shows the button that opens it; until then that button is
    /// hidden. A panel given earlier for the same place is closed and deleted.
    void setSubPanel(SubPanel which, QWidget *panel);
    /// Shows the record button once recording exists.
    void setRecordingAvailable(bool available);
    /// Shows the clear-all button once there is something it can clear.
    void setClearAllAvailable(bool available);

    DocCamControlPanel *docCamPanel() const { return docCam; }
    SplitScreenPanel *splitPanel() const { return split; }
    QToolButton *widgetModeButton() const { return widgetModeBtn; }
    QToolButton *homeButton() const { return homeBtn; }
    QToolButton *recordButton() const { return recordBtn; }

public Q_SLOTS:
    /// Annotation ended, from its button or from the annotation component itself.
    void annoStateExited();
    void annoBtnClicked(bool checked);
    void docCamBtnClicked(bool checked);
    void captureBtnClicked(bool checked);
    void splitBtnClicked(bool checked);
    void presenterBtnClicked(bool checked);
    /// The document camera's sub-panel closes, from its button or because the camera went away.
    void docCamStateExited();
    /// Without a connected camera the document camera and GradeCam tools have nothing to work
    /// on; with one still connected this does nothing.
    void disableDocCamTools();
    void enableDocCamTools(QString modelName);
    void closeBtnClicked();
    /// The full-display mode has no room for a split or for the widget-mode bar.
    void fullDisplayChangedUI(bool fullDisplay);
    void homeBtnClicked();
    /// Runs one step of the GradeCam hand-over; the button then follows the hand-over.
    void gradeCamBtnClicked();
    /// The record button's click: asks to start (when a recording may start) or to stop.
    void startStopRecording(bool on);
    /// The answer of the dialog that starts a recording. Declined, the button goes back to the
    /// last status; accepted, it stays pressed until the recording reports its new status.
    void startRecording(bool accepted);
    void clearAll();
    /// Shows the recording status, as RecordingStatus bits.
    void recordUIChangedWithStatus(uint status);

Q_SIGNALS:
    void toolPanelClosed();
    void stopRecordRequested();
    void startRecordingRequested();
    void clearAllRequested();
    /// The panel took the size of what it now shows.
    void sizeChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// The tools with a sub-panel below the strip, in the strip's order.
    enum Tool { AnnotationTool, DocCamTool, CaptureTool, SplitTool, PresenterTool, ToolCount };

    QToolButton *addButton(const QString &objectName, const QString &text, const QString &icon,
                           bool checkable);
    void toggle(Tool tool, bool open);
    /// Closes whichever tool other than `except` is open.
    void closeOthers(Tool except);
    /// Closes `tool` through its own way out, so that annotation and the document camera are
    /// always left through annoStateExited() and docCamStateExited().
    void leave(Tool tool);
    void close(Tool tool);
    void showRecordStatus();
    void resizeToContents();

    KivoscopeIntf *kivoscope;
    GradeCamHandOver *gradeCam;
    QWidget *strip;
    QWidget *subPanelArea;
    FittingScrollArea *subPanelScroll;
    QVBoxLayout *subPanelLayout;
    QToolButton *annoBtn;
    QToolButton *docCamBtn;
    QToolButton *captureBtn;
    QToolButton *splitBtn;
    QToolButton *presenterBtn;
    QToolButton *widgetModeBtn;
    QToolButton *gradeCamBtn;
    QToolButton *homeBtn;
    QToolButton *recordBtn;
    QToolButton *clearAllBtn;
    QToolButton *closeBtn;
    DocCamControlPanel *docCam;
    SplitScreenPanel *split;
    std::array<QToolButton *, ToolCount> toolButtons{};
    std::array<QWidget *, ToolCount> subPanels{};
    uint recordStatus = 0;
    bool switchingTools = false;
};

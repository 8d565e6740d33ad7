#pragma once

#include <QFrame>
#include <QList>
#include <QString>

#include <memory>

class CaptureIntf;
class QAbstractButton;

namespace Ui {
class CaptureSelectionPanel;
}

/// The tool strip's capture sub-panel: a picture of the document camera or of the desktop, and
/// the time-lapse settings (total time and interval, each edited in hours, minutes or seconds)
/// with the button that starts and stops a series.
///
/// The panel holds no capture state of its own beyond the two values being edited: the capture
/// component's action status decides what can be pressed and what is shown.
class CaptureSelectionPanel : public QFrame
{
    Q_OBJECT

public:
    /// `capture` must outlive the panel.
    explicit CaptureSelectionPanel(CaptureIntf *capture, QWidget *parent = nullptr);
    ~CaptureSelectionPanel() override;

public Q_SLOTS:
    void incTime();
    void decTime();
    void incInterval();
    void decInterval();
    void screenCapture();
    void docCamCapture();
    void doTimeLapesCapture();
    /// Opens the time-lapse settings, or closes them when they are open.
    void startEditTimeLapes();
    void startStopTimeLapesCapture(bool start);
    /// The unit the total time's + and - step by: checking one unit unchecks the other two, and
    /// with none checked they step by a second.
    void setEditTimeMin(bool on);
    void setEditTimeSec(bool on);
    void setEditTimeHour(bool on);
    void setEditIntervalMin(bool on);
    void setEditIntervalSec(bool on);
    void setEditIntervalHour(bool on);
    void endOfTimeLapesCapture(QList<QString> fullImagePaths);
    void interruptTimeLapesCapture(QList<QString> partialImagePaths, int reason);
    void updateUIWithActionStatus(uint status);
    void updateCaptureProgress(uint capturedImgs, uint totalImgs);

private:
    /// The three unit fields of one editor, hour first.
    struct UnitFields
    {
        QAbstractButton *hour;
        QAbstractButton *min;
        QAbstractButton *sec;
    };

    UnitFields timeFields() const;
    UnitFields intervalFields() const;
    /// Checks or unchecks `chosen`; a checked one unchecks the other fields of its editor.
    static void chooseUnit(const UnitFields &fields, QAbstractButton *chosen, bool on);
    /// The seconds + and - add or take away, after the editor's checked unit.
    static int step(const UnitFields &fields);
    static void uncheckUnits(const UnitFields &fields);
    static void showValue(const UnitFields &fields, int seconds);

    /// Hands the values to the capture component and shows them.
    void applyParams();
    /// Back to nothing chosen once a series is over, so the next one starts from a clean slate.
    void clearParams();
    void showParams();

    std::unique_ptr<Ui::CaptureSelectionPanel> ui;
    CaptureIntf *capture;
    /// Total time and interval of the next time lapse, in seconds.
    int time = 0;
    int interval = 0;
    bool docCamUnavailable = true;
};

#include "CaptureSelectionPanel.h"

#include "CaptureIntf.h"
#include "ui_CaptureSelectionPanel.h"

#include <MessageBox.h>

#include <algorithm>

CaptureSelectionPanel::CaptureSelectionPanel(CaptureIntf *capture, QWidget *parent)
    : QFrame(parent)
    , ui(std::make_unique<Ui::CaptureSelectionPanel>())
    , capture(capture)
{
    ui->setupUi(this);
    ui->startStopBtn->hide();
    ui->recordingStatus->hide();
    showParams();
    updateUIWithActionStatus(capture->getActionStatus());

    connect(capture, &CaptureIntf::actionStatusChanged, this,
            &CaptureSelectionPanel::updateUIWithActionStatus);
    connect(capture, &CaptureIntf::timeLapseCaptureProgressUpdated, this,
            &CaptureSelectionPanel::updateCaptureProgress);
    connect(capture, &CaptureIntf::timeLapseImageCaptureCompleted, this,
            &CaptureSelectionPanel::endOfTimeLapesCapture);
    connect(capture, &CaptureIntf::timeLapseImageCaptureAborted, this,
            &CaptureSelectionPanel::interruptTimeLapesCapture);

    connect(ui->docCamCaptureBtn, &QToolButton::clicked, this,
            &CaptureSelectionPanel::docCamCapture);
    connect(ui->fullScreenCaptureBtn, &QToolButton::clicked, this,
            &CaptureSelectionPanel::screenCapture);
    connect(ui->timeLapesCaptureBtn, &QToolButton::clicked, this,
            &CaptureSelectionPanel::startEditTimeLapes);
    // clicked, not toggled: the action status sets the check too, and that must not start or
    // stop anything.
    connect(ui->startStopBtn, &QToolButton::clicked, this,
            &CaptureSelectionPanel::startStopTimeLapesCapture);

    connect(ui->incTimeBtn, &QToolButton::clicked, this, &CaptureSelectionPanel::incTime);
    connect(ui->decTimeBtn, &QToolButton::clicked, this, &CaptureSelectionPanel::decTime);
    connect(ui->incIntervalBtn, &QToolButton::clicked, this, &CaptureSelectionPanel::incInterval);
    connect(ui->decIntervalBtn, &QToolButton::clicked, this, &CaptureSelectionPanel::decInterval);
    // toggled, so that a unit checked from anywhere still unchecks its neighbours.
    connect(ui->timeHour, &QToolButton::toggled, this, &CaptureSelectionPanel::setEditTimeHour);
    connect(ui->timeMin, &QToolButton::toggled, this, &CaptureSelectionPanel::setEditTimeMin);
    connect(ui->timeSec, &QToolButton::toggled, this, &CaptureSelectionPanel::setEditTimeSec);
    connect(ui->intervalHour, &QToolButton::toggled, this,
            &CaptureSelectionPanel::setEditIntervalHour);
    connect(ui->intervalMin, &QToolButton::toggled, this,
            &CaptureSelectionPanel::setEditIntervalMin);
    connect(ui->intervalSec, &QToolButton::toggled, this,
            &CaptureSelectionPanel::setEditIntervalSec);
}

CaptureSelectionPanel::~CaptureSelectionPanel() = default;

void CaptureSelectionPanel::incTime()
{
    time = std::min(time + step(timeFields()), int(CaptureIntf::MaxTimeLapseTime));
    applyParams();
}

void CaptureSelectionPanel::decTime()
{
    // Stepping by an hour from forty minutes would not land on zero but on a negative time;
    // the presenter switches to a smaller unit instead.
    const int by = step(timeFields());
    if (time >= by)
        time -= by;
    applyParams();
}

void CaptureSelectionPanel::incInterval()
{
    interval = std::min(interval + step(intervalFields()), int(CaptureIntf::MaxTimeLapseInterval));
    applyParams();
}

void CaptureSelectionPanel::decInterval()
{
    const int by = step(intervalFields());
    if (interval >= by)
        interval -= by;
    applyParams();
}

void CaptureSelectionPanel::screenCapture()
{
    // The component announces the file and reports failures itself.
    QString path;
    capture->captureScreen(&path);
}

void CaptureSelectionPanel::docCamCapture()
{
    // A click queued just before the camera went away, or froze, must not reach the component.
    if (docCamUnavailable)
        return;
    QString path;
    capture->captureVision(&path);
}

void CaptureSelectionPanel::doTimeLapesCapture()
{
    startEditTimeLapes();
}

void CaptureSelectionPanel::startEditTimeLapes()
{
    capture->toggleTimeLapseSettings();
}

void CaptureSelectionPanel::startStopTimeLapesCapture(bool start)
{
    if (!start) {
        if (!Result::succeeded(capture->stopTimeLapseCapture()))
            updateUIWithActionStatus(capture->getActionStatus());
        clearParams();
        return;
    }

    QString refusal;
    if (time == 0 || interval == 0)
        refusal = tr("Time & Interval can not be 0.");
    else if (interval > time)
        refusal = tr("Time can not less than interval.");
    if (!refusal.isEmpty()) {
        // Released before the dialog, so the button does not sit pressed behind it.
        ui->startStopBtn->setChecked(false);
        MessageBox::warning(window(), QStringLiteral("Velora"), refusal);
        return;
    }

    // The still pictures would compete with the series for the camera; the running status
    // disables them as well, this only closes the gap until it arrives.
    ui->docCamCaptureBtn->setEnabled(false);
    ui->fullScreenCaptureBtn->setEnabled(false);
    ui->recordingStatus->clear();
    if (!Result::succeeded(capture->startTimeLapseCapture()))
        updateUIWithActionStatus(capture->getActionStatus());
}

void CaptureSelectionPanel::setEditTimeMin(bool on)
{
    chooseUnit(timeFields(), ui->timeMin, on);
}

void CaptureSelectionPanel::setEditTimeSec(bool on)
{
    chooseUnit(timeFields(), ui->timeSec, on);
}

void CaptureSelectionPanel::setEditTimeHour(bool on)
{
    chooseUnit(timeFields(), ui->timeHour, on);
}

void CaptureSelectionPanel::setEditIntervalMin(bool on)
{
    chooseUnit(intervalFields(), ui->intervalMin, on);
}

void CaptureSelectionPanel::setEditIntervalSec(bool on)
{
    chooseUnit(intervalFields(), ui->intervalSec, on);
}

void CaptureSelectionPanel::setEditIntervalHour(bool on)
{
    chooseUnit(intervalFields(), ui->intervalHour, on);
}

void CaptureSelectionPanel::endOfTimeLapesCapture(QList<QString>)
{
    uncheckUnits(timeFields());
    uncheckUnits(intervalFields());
    clearParams();
}

void CaptureSelectionPanel::interruptTimeLapesCapture(QList<QString>, int)
{
    capture->toggleTimeLapseSettings();
    clearParams();
    uncheckUnits(timeFields());
    uncheckUnits(intervalFields());
}

void CaptureSelectionPanel::updateUIWithActionStatus(uint status)
{
    using namespace CaptureStatus;
    ui->timeLapesCaptureBtn->setEnabled(status & TimeLapseButton);

    const bool running = status & TimeLapseRunning;
    ui->startStopBtn->setVisible(status & (TimeLapseStartShown | TimeLapseRunning));
    ui->startStopBtn->setEnabled(status & (TimeLapseParamsValid | TimeLapseRunning));
    ui->startStopBtn->setChecked(running);
    ui->startStopBtn->setText(running ? tr("Stop") : tr("Start"));
    ui->startStopBtn->setToolTip(running ? tr("Stop the time lapse; the pictures taken are kept")
                                         : tr("Start taking pictures at every interval"));

    const bool editable = status & TimeLapseSettingsEditable;
    QWidget *const editors[]
            = {ui->decTimeBtn,  ui->timeHour,       ui->timeMin,      ui->timeSec,
               ui->incTimeBtn,  ui->decIntervalBtn, ui->intervalHour, ui->intervalMin,
               ui->intervalSec, ui->incIntervalBtn};
    for (QWidget *control : editors)
        control->setEnabled(editable);

    ui->docCamCaptureBtn->setEnabled(status & DocCamCapture);
    ui->fullScreenCaptureBtn->setEnabled(status & DesktopCapture);
    ui->recordingStatus->setVisible(status & TimeLapseProgressShown);
    ui->timeWidget->setVisible(status & TimeLapseSettingsShown);
    ui->intervalWidget->setVisible(status & TimeLapseSettingsShown);
    docCamUnavailable = !(status & DocCamCapture);
}

void CaptureSelectionPanel::updateCaptureProgress(uint capturedImgs, uint totalImgs)
{
    ui->recordingStatus->setText(QString::number(capturedImgs) + QStringLiteral("/ ")
                                 + QString::number(totalImgs));
}

CaptureSelectionPanel::UnitFields CaptureSelectionPanel::timeFields() const
{
    return {ui->timeHour, ui->timeMin, ui->timeSec};
}

CaptureSelectionPanel::UnitFields CaptureSelectionPanel::intervalFields() const
{
    return {ui->intervalHour, ui->intervalMin, ui->intervalSec};
}

void CaptureSelectionPanel::chooseUnit(const UnitFields &fields, QAbstractButton *chosen, bool on)
{
    // Not a QButtonGroup: an exclusive group cannot be emptied again, and with no unit checked
    // the editor steps by seconds.
    chosen->setChecked(on);
    if (!on)
        return;
    for (QAbstractButton *other : {fields.hour, fields.min, fields.sec}) {
        if (other != chosen)
            other->setChecked(false);
    }
}

int CaptureSelectionPanel::step(const UnitFields &fields)
{
    if (fields.hour->isChecked())
        return 3600;
    if (fields.min->isChecked())
        return 60;
    return 1;
}

void CaptureSelectionPanel::uncheckUnits(const UnitFields &fields)
{
    for (QAbstractButton *field : {fields.hour, fields.min, fields.sec})
        field->setChecked(false);
}

void CaptureSelectionPanel::showValue(const UnitFields &fields, int seconds)
{
    // Hours are not wrapped into days: the longest series, three days, reads "72".
    const auto twoDigits = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    fields.hour->setText(twoDigits(seconds / 3600));
    fields.min->setText(twoDigits(seconds % 3600 / 60));
    fields.sec->setText(twoDigits(seconds % 60));
}

void CaptureSelectionPanel::applyParams()
{
    capture->setTimeLapseParams(uint(time), uint(interval));
    showParams();
}

void CaptureSelectionPanel::clearParams()
{
    time = 0;
    interval = 0;
    // The component is told as well: otherwise it would keep the finished series' values as
    // valid and offer Start under an editor that reads zero.
    applyParams();
}

void CaptureSelectionPanel::showParams()
{
    showValue(timeFields(), time);
    showValue(intervalFields(), interval);
}

#include "ToolsPanel.h"

#include "FittingScrollArea.h"
#include "GradeCamHandOver.h"
#include "RecordingCounter.h"

#include <DocCamControlPanel.h>
#include <DocCamToolButton.h>
#include <KivoscopeIntf.h>
#include <RecordingStatus.h>
#include <SplitScreenPanel.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString icon(const char *name)
{
    return QStringLiteral(":/Image/pics/") + QLatin1String(name);
}

// The strip floats over the live picture: dark and mostly opaque so that its light icons and
// text stay readable over any page, and still a little translucent so the presenter sees that
// the picture carries on underneath. The sub-panels below it keep a light ground, because the
// document camera's own icons are drawn in dark ink.
const QString StyleSheet = QStringLiteral(R"(
#ToolsPanel {
    background-color: rgba(38, 50, 56, 215);
    border-radius: 8px;
}
#toolStrip > QToolButton {
    color: #fafafa;
    border: none;
    border-radius: 6px;
    padding: 2px;
}
#toolStrip > QToolButton:hover {
    background-color: rgba(250, 250, 250, 40);
}
#toolStrip > QToolButton:checked {
    background-color: rgba(30, 136, 229, 200);
}
#toolStrip > QToolButton:disabled {
    color: rgba(250, 250, 250, 90);
}
#subPanelArea {
    background-color: rgba(250, 250, 250, 235);
    border-radius: 6px;
}
)");

} // namespace

ToolsPanel::ToolsPanel(KivoscopeIntf *kivoscope, GradeCamHandOver *gradeCam, QWidget *parent)
    : QFrame(parent)
    , kivoscope(kivoscope)
    , gradeCam(gradeCam)
{
    setObjectName(QStringLiteral("ToolsPanel"));
    setStyleSheet(StyleSheet);

    strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("toolStrip"));
    annoBtn = addButton(QStringLiteral("annoBtn"), tr("Annotate"), icon("tools_annotation.png"),
                        true);
    docCamBtn = addButton(QStringLiteral("docCamBtn"), tr("Doc camera"),
                          icon("tools_docCamera.png"), true);
    captureBtn = addButton(QStringLiteral("captureBtn"), tr("Capture"), icon("tools_capture.png"),
                           true);
    splitBtn = addButton(QStringLiteral("splitBtn"), tr("Split"), icon("tools_split.png"), true);
    presenterBtn = addButton(QStringLiteral("presenterBtn"), tr("Presenter"),
                             icon("tools_presenter.png"), true);
    widgetModeBtn = addButton(QStringLiteral("widgetModeBtn"), tr("Widget mode"),
                              icon("tools_widgetMode.png"), false);
    gradeCamBtn = addButton(QStringLiteral("gradeCamBtn"), gradeCam->text(),
                            icon("tools_gradeCam.png"), true);
    gradeCamBtn->setChecked(gradeCam->checked());
    homeBtn = addButton(QStringLiteral("homeBtn"), tr("Home"), icon("tools_home.png"), false);
    recordBtn
            = addButton(QStringLiteral("recordBtn"), tr("Record"), icon("tools_record.png"), true);
    clearAllBtn = addButton(QStringLiteral("clearAllBtn"), tr("Clear all"),
                            icon("tools_clearAll.png"), false);
    closeBtn = addButton(QStringLiteral("closeBtn"), tr("Close"), icon("tools_close.png"), false);

    auto *stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    stripLayout->setSpacing(2);
    for (QToolButton *button : {annoBtn, docCamBtn, captureBtn, splitBtn, presenterBtn,
                                widgetModeBtn, gradeCamBtn, homeBtn, recordBtn, clearAllBtn})
        stripLayout->addWidget(button);
    // Closing sits apart at the end, where a hurried click on a tool cannot reach it.
    stripLayout->addStretch(1);
    stripLayout->addWidget(closeBtn);

    subPanelArea = new QWidget(this);
    subPanelArea->setObjectName(QStringLiteral("subPanelArea"));
    subPanelArea->setAttribute(Qt::WA_StyledBackground);
    subPanelLayout = new QVBoxLayout(subPanelArea);
    subPanelLayout->setContentsMargins(4, 4, 4, 4);
    docCam = new DocCamControlPanel(kivoscope, subPanelArea);
    split = new SplitScreenPanel(subPanelArea);

    toolButtons = {annoBtn, docCamBtn, captureBtn, splitBtn, presenterBtn};
    subPanels[DocCamTool] = docCam;
    subPanels[SplitTool] = split;
    for (QWidget *panel : {static_cast<QWidget *>(docCam), static_cast<QWidget *>(split)}) {
        subPanelLayout->addWidget(panel);
        panel->hide();
    }
    subPanelScroll = new FittingScrollArea(this);
    subPanelScroll->setWidget(subPanelArea);
    // The style sheet's rounded ground, not the square fill a scroll area gives its content.
    subPanelArea->setAutoFillBackground(false);
    subPanelScroll->hide();
    if (parent)
        parent->installEventFilter(this);

    // The components that fill these in come later; until then there is nothing to press.
    for (QToolButton *button : {annoBtn, captureBtn, presenterBtn, recordBtn, clearAllBtn})
        button->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(strip);
    layout->addWidget(subPanelScroll);

    connect(annoBtn, &QToolButton::clicked, this, &ToolsPanel::annoBtnClicked);
    connect(docCamBtn, &QToolButton::clicked, this, &ToolsPanel::docCamBtnClicked);
    connect(captureBtn, &QToolButton::clicked, this, &ToolsPanel::captureBtnClicked);
    connect(splitBtn, &QToolButton::clicked, this, &ToolsPanel::splitBtnClicked);
    connect(presenterBtn, &QToolButton::clicked, this, &ToolsPanel::presenterBtnClicked);
    connect(gradeCamBtn, &QToolButton::clicked, this, &ToolsPanel::gradeCamBtnClicked);
    connect(homeBtn, &QToolButton::clicked, this, &ToolsPanel::homeBtnClicked);
    connect(recordBtn, &QToolButton::clicked, this, &ToolsPanel::startStopRecording);
    connect(clearAllBtn, &QToolButton::clicked, this, &ToolsPanel::clearAll);
    connect(closeBtn, &QToolButton::clicked, this, &ToolsPanel::closeBtnClicked);

    connect(gradeCam, &GradeCamHandOver::changed, this, [this](const QString &text, bool checked) {
        gradeCamBtn->setText(text);
        gradeCamBtn->setToolTip(text);
        gradeCamBtn->setChecked(checked);
    });
    connect(kivoscope, &KivoscopeIntf::docCamConnected, this, &ToolsPanel::enableDocCamTools);
    connect(kivoscope, &KivoscopeIntf::docCamDisconnected, this, &ToolsPanel::disableDocCamTools);
    disableDocCamTools();
    showRecordStatus();
    adjustSize();
}

void ToolsPanel::setSubPanel(SubPanel which, QWidget *panel)
{
    static constexpr Tool tools[] = {AnnotationTool, CaptureTool, PresenterTool};
    const Tool tool = tools[which];
    if (subPanels[tool] == panel)
        return;
    if (QWidget *previous = subPanels[tool]) {
        leave(tool);
        delete previous;
    }
    subPanels[tool] = panel;
    toolButtons[tool]->setVisible(panel != nullptr);
    if (!panel)
        return;
    panel->setParent(subPanelArea);
    subPanelLayout->addWidget(panel);
    panel->hide();
}

bool ToolsPanel::event(QEvent *event)
{
    const bool handled = QFrame::event(event);
    // Nothing lays the panel out from outside: it floats over the picture. So whatever changes
    // what it needs - a button shown once its component exists, a longer label ("Click to
    // stop", "Reconnect"), a sub-panel growing by itself - it takes that size, or the strip's
    // buttons would be squeezed over each other's labels.
    if (event->type() == QEvent::LayoutRequest && sizeHint() != size())
        resizeToContents();
    return handled;
}

bool ToolsPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A smaller window leaves the sub-panels less room below the strip.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        resizeToContents();
    return QFrame::eventFilter(watched, event);
}

void ToolsPanel::setRecordingAvailable(bool available)
{
    recordBtn->setVisible(available);
}

void ToolsPanel::setClearAllAvailable(bool available)
{
    clearAllBtn->setVisible(available);
}

void ToolsPanel::annoStateExited()
{
    close(AnnotationTool);
}

void ToolsPanel::annoBtnClicked(bool checked)
{
    if (checked)
        toggle(AnnotationTool, true);
    else
        annoStateExited();
}

void ToolsPanel::docCamBtnClicked(bool checked)
{
    if (checked)
        toggle(DocCamTool, true);
    else
        docCamStateExited();
}

void ToolsPanel::captureBtnClicked(bool checked)
{
    toggle(CaptureTool, checked);
}

void ToolsPanel::splitBtnClicked(bool checked)
{
    toggle(SplitTool, checked);
}

void ToolsPanel::presenterBtnClicked(bool checked)
{
    toggle(PresenterTool, checked);
}

void ToolsPanel::docCamStateExited()
{
    close(DocCamTool);
}

void ToolsPanel::disableDocCamTools()
{
    // A camera may come back between the disconnection and this call; then its tools stay.
    if (kivoscope->isConnected())
        return;
    docCamStateExited();
    docCamBtn->setEnabled(false);
    gradeCamBtn->setChecked(false);
    gradeCamBtn->setEnabled(false);
}

void ToolsPanel::enableDocCamTools(QString)
{
    docCamBtn->setEnabled(true);
    gradeCamBtn->setEnabled(true);
}

void ToolsPanel::closeBtnClicked()
{
    Q_EMIT toolPanelClosed();
}

void ToolsPanel::fullDisplayChangedUI(bool fullDisplay)
{
    if (fullDisplay)
        close(SplitTool);
    splitBtn->setEnabled(!fullDisplay);
    widgetModeBtn->setEnabled(!fullDisplay);
}

void ToolsPanel::homeBtnClicked()
{
    docCamStateExited();
}

void ToolsPanel::gradeCamBtnClicked()
{
    // The click has flipped the check already; put it back, since only the hand-over knows
    // whether the camera ends up lent, and its changed() brings the answer.
    gradeCamBtn->setChecked(gradeCam->checked());
    gradeCam->step(window(), QStringLiteral("Warning"));
}

void ToolsPanel::startStopRecording(bool on)
{
    if (!on) {
        Q_EMIT stopRecordRequested();
        // Stopping finishes the file before the status changes; until then the button keeps
        // showing a recording that can be stopped.
        showRecordStatus();
        return;
    }
    // Pressed stays pressed while the recording gets going: a dialog may ask first, and
    // startRecording(false) undoes the press if it is declined.
    if (recordStatus & RecordingStatus::MayStart)
        Q_EMIT startRecordingRequested();
    else
        showRecordStatus();
}

void ToolsPanel::startRecording(bool accepted)
{
    if (!accepted)
        showRecordStatus();
}

void ToolsPanel::clearAll()
{
    Q_EMIT clearAllRequested();
}

void ToolsPanel::recordUIChangedWithStatus(uint status)
{
    recordStatus = status;
    showRecordStatus();
}

QToolButton *ToolsPanel::addButton(const QString &objectName, const QString &text,
                                   const QString &iconPath, bool checkable)
{
    QToolButton *button = makeDocCamToolButton(strip, objectName, text, iconPath, checkable);
    // Eleven tools in one row: narrower than the camera panels' buttons so the strip still fits
    // a 1280-pixel screen with room to spare.
    button->setIconSize(QSize(28, 28));
    button->setMinimumWidth(64);
    return button;
}

void ToolsPanel::toggle(Tool tool, bool open)
{
    QWidget *panel = subPanels[tool];
    if (!open || !panel) {
        leave(tool);
        return;
    }
    {
        // One resize for the whole change, not a shrink and a grow the main window would chase.
        QScopedValueRollback<bool> batching(switchingTools, true);
        closeOthers(tool);
    }
    toolButtons[tool]->setChecked(true);
    panel->show();
    subPanelScroll->show();
    resizeToContents();
}

void ToolsPanel::closeOthers(Tool except)
{
    for (int i = 0; i < ToolCount; ++i) {
        const auto tool = static_cast<Tool>(i);
        if (tool == except)
            continue;
        const bool open = toolButtons[tool]->isChecked()
                || (subPanels[tool] && !subPanels[tool]->isHidden());
        if (open)
            leave(tool);
    }
}

void ToolsPanel::leave(Tool tool)
{
    if (tool == AnnotationTool)
        annoStateExited();
    else if (tool == DocCamTool)
        docCamStateExited();
    else
        close(tool);
}

void ToolsPanel::close(Tool tool)
{
    toolButtons[tool]->setChecked(false);
    QWidget *panel = subPanels[tool];
    if (!panel || panel->isHidden())
        return;
    panel->hide();
    const bool anyOpen = std::any_of(subPanels.cbegin(), subPanels.cend(),
                                     [](QWidget *other) { return other && !other->isHidden(); });
    subPanelScroll->setVisible(anyOpen);
    resizeToContents();
}

void ToolsPanel::showRecordStatus()
{
    showRecordButton(recordBtn, recordStatus & RecordingStatus::Exists);
}

void ToolsPanel::resizeToContents()
{
    if (switchingTools)
        return;
    if (const QWidget *area = parentWidget()) {
        // The sub-panels get whatever the window leaves below the strip, and scroll within it.
        const QMargins margins = layout()->contentsMargins();
        const int used = strip->sizeHint().height() + layout()->spacing() + margins.top()
                + margins.bottom() + 2 * frameWidth();
        subPanelScroll->setRoom(area->height() - used);
    }
    adjustSize();
    Q_EMIT sizeChanged();
}

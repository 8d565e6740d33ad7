#include "AnnoPanel.h"

#include "FreehandPanel.h"
#include "LinePanel.h"
#include "ShapePanel.h"
#include "TextPanel.h"
#include "ui_AnnoPanel.h"

#include <QGridLayout>
#include <QPropertyAnimation>
#include <QShortcut>
#include <QState>
#include <QStateMachine>
#include <QTimerEvent>

#include <algorithm>

namespace {

/// How long a settings panel takes to slide in or out.
constexpr int SlideMs = 150;
/// How soon after a state change the panels that slid out are hidden, if the slide is over.
constexpr int HideMs = 100;

AnnotationIntf::Tool toolOf(int state)
{
    static constexpr AnnotationIntf::Tool tools[]
            = {AnnotationIntf::SelectTool, AnnotationIntf::FreehandTool, AnnotationIntf::LineTool,
               AnnotationIntf::ShapeTool, AnnotationIntf::TextTool};
    return tools[state];
}

} // namespace

AnnoPanel::AnnoPanel(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::AnnoPanel>())
{
    ui->setupUi(this);
    toolButtons = {nullptr, ui->freehandBtn, ui->lineBtn, ui->shapeBtn, ui->textBtn};
    buildSettingsArea();
    // The panel is as large as what it shows, so the tool strip can follow it.
    ui->gridLayout->setSizeConstraint(QLayout::SetFixedSize);
    ui->gridLayout->activate();
    buildStateMachine();
    addShortcuts();

    connect(ui->freehandBtn, &QToolButton::clicked, this, &AnnoPanel::switchToFreehand);
    connect(ui->lineBtn, &QToolButton::clicked, this, &AnnoPanel::switchToLine);
    connect(ui->shapeBtn, &QToolButton::clicked, this, &AnnoPanel::switchToShape);
    connect(ui->textBtn, &QToolButton::clicked, this, &AnnoPanel::switchToText);
    connect(ui->deleteBtn, &QToolButton::clicked, this, &AnnoPanel::deleteGraphic);
    connect(ui->deleteAllBtn, &QToolButton::clicked, this, &AnnoPanel::clearCanvas);
    connect(ui->undoBtn, &QToolButton::clicked, this, &AnnoPanel::undoCanvas);
    connect(ui->redoBtn, &QToolButton::clicked, this, &AnnoPanel::redoCanvas);

    if (AnnotationIntf *annotation = AnnotationIntf::current()) {
        annotation->setUpdateAnnoState(this);
        connect(annotation, &AnnotationIntf::toolChanged, this, &AnnoPanel::followTool);
    }
}

AnnoPanel::~AnnoPanel()
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->setUpdateAnnoState(nullptr);
}

void AnnoPanel::enableUndoButton(bool enable)
{
    ui->undoBtn->setEnabled(enable);
}

void AnnoPanel::enableRedoButton(bool enable)
{
    ui->redoBtn->setEnabled(enable);
}

void AnnoPanel::buildSettingsArea()
{
    // The form only reserves the cell. The settings panels slide inside the area to positions
    // the state machine gives them, which a layout would take back at its next pass, so the area
    // has none and is built here.
    settingsArea = new QWidget(this);
    settingsArea->setObjectName(QStringLiteral("settingsArea"));
    settingsArea->setAttribute(Qt::WA_StyledBackground);
    replaceWidget(ui->gridLayout, ui->settingsPlaceholder, settingsArea);
    delete ui->settingsPlaceholder;
    ui->settingsPlaceholder = nullptr;

    settingsPanels = {nullptr, new FreehandPanel(settingsArea), new LinePanel(settingsArea),
                      new ShapePanel(settingsArea), new TextPanel(settingsArea)};
    QSize room = settingsArea->minimumSize();
    for (QWidget *panel : settingsPanels) {
        if (panel)
            room = room.expandedTo(panel->sizeHint());
    }
    settingsArea->setFixedSize(room);
    for (QWidget *panel : settingsPanels) {
        if (!panel)
            continue;
        panel->resize(room);
        panel->hide();
    }
    settingsArea->hide();
    ui->labelBack->hide();
    ui->labelBack->raise();
}

void AnnoPanel::replaceWidget(QGridLayout *grid, QWidget *placeholder, QWidget *replacement)
{
    const int index = grid->indexOf(placeholder);
    if (index < 0)
        return;
    int row = 0, column = 0, rowSpan = 1, columnSpan = 1;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    replacement->setSizePolicy(placeholder->sizePolicy());
    replacement->setMinimumSize(placeholder->minimumSize());
    grid->removeWidget(placeholder);
    grid->addWidget(replacement, row, column, rowSpan, columnSpan);
}

void AnnoPanel::buildStateMachine()
{
    machine = new QStateMachine(this);
    // One parent state holds the five, so that each request leads to its state from any other.
    auto *panelStates = new QState(machine);
    for (QState *&state : states)
        state = new QState(panelStates);
    panelStates->setInitialState(states[Normal]);
    machine->setInitialState(panelStates);

    panelStates->addTransition(this, &AnnoPanel::normalRequested, states[Normal]);
    panelStates->addTransition(this, &AnnoPanel::freehandRequested, states[Freehand]);
    panelStates->addTransition(this, &AnnoPanel::lineRequested, states[Line]);
    panelStates->addTransition(this, &AnnoPanel::shapeRequested, states[Shape]);
    panelStates->addTransition(this, &AnnoPanel::textRequested, states[Text]);

    connect(states[Normal], &QState::entered, this, &AnnoPanel::normalStateEntered);
    connect(states[Freehand], &QState::entered, this, &AnnoPanel::freehandStateEntered);
    connect(states[Line], &QState::entered, this, &AnnoPanel::lineStateEntered);
    connect(states[Shape], &QState::entered, this, &AnnoPanel::shapeStateEntered);
    connect(states[Text], &QState::entered, this, &AnnoPanel::textStateEntered);
    for (int state = Freehand; state < StateCount; ++state)
        connect(states[state], &QState::exited, this, &AnnoPanel::stateExited);

    QList<QWidget *> sliding(settingsPanels.begin() + 1, settingsPanels.end());
    sliding << ui->labelBack;
    for (QWidget *widget : sliding) {
        auto *slide = new QPropertyAnimation(widget, "pos", this);
        slide->setDuration(SlideMs);
        slide->setEasingCurve(QEasingCurve::OutCubic);
        machine->addDefaultAnimation(slide);
        animations << slide;
    }
    assignPositions();
    machine->start();
}

void AnnoPanel::assignPositions()
{
    if (!machine)
        return;
    // A panel waits beside the area on the side of its button, so that moving from one tool to
    // another slides the settings the way the pointer went.
    const int width = settingsArea->width();
    for (int state = Normal; state < StateCount; ++state) {
        for (int panel = Freehand; panel < StateCount; ++panel) {
            const int x = panel == state ? 0 : (panel < state ? -width : width);
            states[state]->assignProperty(settingsPanels[panel], "pos", QPoint(x, 0));
        }
        if (state == Normal)
            continue;
        states[state]->assignProperty(ui->labelBack, "pos", markerPos(State(state)));
    }
}

void AnnoPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    assignPositions();
    if (current != Normal && !transitionRunning())
        ui->labelBack->move(markerPos(current));
}

QPoint AnnoPanel::markerPos(State tool) const
{
    // In the gap between the buttons and the area, under the tool's button, overlapping the
    // area's border by a pixel so that the two read as one shape. Measured from the button: the
    // area has no place in the layout while it is hidden.
    const QRect button = toolButtons[tool]->geometry();
    return {button.center().x() - ui->labelBack->width() / 2,
            button.bottom() + 2 + ui->gridLayout->verticalSpacing() - ui->labelBack->height()};
}

void AnnoPanel::addShortcuts()
{
    // Window-wide, so they work while the pointer is on the canvas; a text item being edited
    // still gets its own Delete and undo keys first.
    const std::pair<QKeySequence, void (AnnoPanel::*)()> keys[] = {
            {QKeySequence::Undo, &AnnoPanel::undoCanvas},
            {QKeySequence::Redo, &AnnoPanel::redoCanvas},
            {QKeySequence::Delete, &AnnoPanel::deleteGraphic},
            {QKeySequence(QStringLiteral("Ctrl+K")), &AnnoPanel::clearCanvas},
    };
    for (const auto &[key, slot] : keys) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
}

void AnnoPanel::switchToFreehand()
{
    switchTo(Freehand);
}

void AnnoPanel::switchToLine()
{
    switchTo(Line);
}

void AnnoPanel::switchToShape()
{
    switchTo(Shape);
}

void AnnoPanel::switchToText()
{
    switchTo(Text);
}

void AnnoPanel::switchTo(State tool)
{
    // Clicking the chosen tool again keeps it; the click unchecked its button, which is put back.
    AnnotationIntf *annotation = AnnotationIntf::current();
    // The component refuses while a stroke is being drawn; the panel then stays as it is.
    if (annotation && !annotation->selectTool(toolOf(tool))) {
        showCurrentTool();
        return;
    }
    request(tool);
}

void AnnoPanel::followTool(AnnotationIntf::Tool tool)
{
    // Tools without a state of their own, and no tool at all (the main window leaving
    // annotation), show the normal state: no settings.
    State state = Normal;
    for (int tooled = Freehand; tooled < StateCount; ++tooled) {
        if (toolOf(tooled) == tool)
            state = State(tooled);
    }
    request(state);
}

void AnnoPanel::request(State state)
{
    if (state == requested) {
        showCurrentTool();
        return;
    }
    requested = state;
    switch (state) {
    case Normal:
        Q_EMIT normalRequested(QPrivateSignal());
        break;
    case Freehand:
        Q_EMIT freehandRequested(QPrivateSignal());
        break;
    case Line:
        Q_EMIT lineRequested(QPrivateSignal());
        break;
    case Shape:
        Q_EMIT shapeRequested(QPrivateSignal());
        break;
    case Text:
        Q_EMIT textRequested(QPrivateSignal());
        break;
    case StateCount:
        break;
    }
}

void AnnoPanel::deleteGraphic()
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->deleteSelection();
}

void AnnoPanel::clearCanvas()
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->clear(false);
}

void AnnoPanel::undoCanvas()
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->undo();
}

void AnnoPanel::redoCanvas()
{
    if (AnnotationIntf *annotation = AnnotationIntf::current())
        annotation->redo();
}

void AnnoPanel::normalStateEntered()
{
    enter(Normal);
}

void AnnoPanel::freehandStateEntered()
{
    enter(Freehand);
}

void AnnoPanel::lineStateEntered()
{
    enter(Line);
}

void AnnoPanel::shapeStateEntered()
{
    enter(Shape);
}

void AnnoPanel::textStateEntered()
{
    enter(Text);
}

void AnnoPanel::stateExited()
{
    // Until the next state is entered no tool is chosen; the entered slot checks the new one.
    for (QToolButton *button : toolButtons) {
        if (button)
            button->setChecked(false);
    }
}

void AnnoPanel::enter(State state)
{
    current = state;
    showCurrentTool();
    const QList<QWidget *> own = ownWidgets(state);
    for (QWidget *widget : own)
        widget->show();

    // The others stay visible while they slide out and are hidden afterwards.
    pendingHide.clear();
    for (int other = Normal; other < StateCount; ++other) {
        for (QWidget *widget : ownWidgets(State(other))) {
            if (!own.contains(widget) && !pendingHide.contains(widget))
                pendingHide << widget;
        }
    }
    if (hideTimer)
        killTimer(hideTimer);
    hideTimer = startTimer(HideMs);
}

void AnnoPanel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != hideTimer) {
        QWidget::timerEvent(event);
        return;
    }
    // A slide still under way is left to finish; the timer comes back.
    if (transitionRunning())
        return;
    killTimer(hideTimer);
    hideTimer = 0;
    for (QWidget *widget : std::as_const(pendingHide))
        widget->hide();
    pendingHide.clear();
}

QList<QWidget *> AnnoPanel::ownWidgets(State state) const
{
    if (state == Normal)
        return {};
    return {settingsArea, ui->labelBack, settingsPanels[state]};
}

bool AnnoPanel::transitionRunning() const
{
    return std::any_of(animations.begin(), animations.end(), [](const QPropertyAnimation *slide) {
        return slide->state() == QAbstractAnimation::Running;
    });
}

void AnnoPanel::showCurrentTool()
{
    for (QToolButton *button : toolButtons) {
        if (button)
            button->setChecked(button == toolButtons[current]);
    }
}

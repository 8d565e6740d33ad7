#pragma once

#include "AnnotationIntf.h"

#include <QList>
#include <QWidget>

#include <array>
#include <memory>

class QGridLayout;
class QPropertyAnimation;
class QState;
class QStateMachine;
class QToolButton;

namespace Ui {
class AnnoPanel;
}

/// The annotation tool bar: the four drawing tools, undo, redo, delete and delete all, and below
/// them the settings of the tool that is chosen.
///
/// A state machine keeps what the panel shows: the normal state (the select tool, no settings
/// shown) and one state per drawing tool, whose settings panel slides in under the tool's button
/// with a marker pointing at it. A tool button always chooses its own tool, even when it is the
/// chosen one already.
///
/// Everything the panel does goes to the annotation component of the moment (skipped when there
/// is none). The component tells the panel when undo and redo become available, and the panel
/// follows tool changes made elsewhere; it registers for both when it is built, so build it after
/// the component.
class AnnoPanel : public QWidget, public UpdateAnnoStateIntf
{
    Q_OBJECT

public:
    explicit AnnoPanel(QWidget *parent = nullptr);
    ~AnnoPanel() override;

    void enableUndoButton(bool enable) override;
    void enableRedoButton(bool enable) override;

public Q_SLOTS:
    void switchToFreehand();
    void switchToLine();
    void switchToShape();
    void switchToText();
    void deleteGraphic();
    void clearCanvas();
    void undoCanvas();
    void redoCanvas();

    void normalStateEntered();
    void freehandStateEntered();
    void lineStateEntered();
    void shapeStateEntered();
    void textStateEntered();
    void stateExited();

Q_SIGNALS:
    // The state machine's triggers: one per state, emitted only by the panel.
    void normalRequested(QPrivateSignal);
    void freehandRequested(QPrivateSignal);
    void lineRequested(QPrivateSignal);
    void shapeRequested(QPrivateSignal);
    void textRequested(QPrivateSignal);

private Q_SLOTS:
    /// Shows the state of `tool` when someone else chose it.
    void followTool(AnnotationIntf::Tool tool);

protected:
    void timerEvent(QTimerEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum State { Normal, Freehand, Line, Shape, Text, StateCount };

    /// Puts `replacement` where `placeholder` is in `grid`, with its size policy, minimum size
    /// and cell, and takes `placeholder` out of the grid.
    static void replaceWidget(QGridLayout *grid, QWidget *placeholder, QWidget *replacement);

    void buildSettingsArea();
    void buildStateMachine();
    void addShortcuts();
    /// Gives each state the positions of the settings panels and of the marker; again whenever
    /// the buttons may have moved.
    void assignPositions();
    /// Where the marker points at `tool`'s button.
    QPoint markerPos(State tool) const;
    /// Chooses `tool` and moves to its state.
    void switchTo(State tool);
    /// Asks the state machine for `state`, unless it is on its way there already.
    void request(State state);
    void enter(State state);
    /// The widgets shown in `state`.
    QList<QWidget *> ownWidgets(State state) const;
    bool transitionRunning() const;
    /// Checks the button of the current tool and no other.
    void showCurrentTool();

    std::unique_ptr<Ui::AnnoPanel> ui;
    QWidget *settingsArea = nullptr;
    std::array<QToolButton *, StateCount> toolButtons{};
    std::array<QWidget *, StateCount> settingsPanels{};
    QStateMachine *machine = nullptr;
    std::array<QState *, StateCount> states{};
    QList<QPropertyAnimation *> animations;
    State current = Normal;
    /// Where the machine was last sent; ahead of `current` while a request is being processed.
    State requested = Normal;
    /// What the last state change will hide once its slide is over.
    QList<QWidget *> pendingHide;
    int hideTimer = 0;
};

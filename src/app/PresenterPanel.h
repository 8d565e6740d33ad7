#pragma once

#include <QWidget>

class QToolButton;

/// The tools panel's choice of presenter mask: the visor, a curtain slid away to uncover the
/// page bit by bit, and the spotlight, which darkens all but one shape. The panel only asks; the
/// main window puts the mask over the picture.
class PresenterPanel : public QWidget
{
    Q_OBJECT

public:
    explicit PresenterPanel(QWidget *parent = nullptr);

    QToolButton *visorButton() const { return visorBtn; }
    QToolButton *spotlightButton() const { return spotlightBtn; }

Q_SIGNALS:
    void visorRequested();
    void spotlightRequested();

private:
    QToolButton *visorBtn;
    QToolButton *spotlightBtn;
};

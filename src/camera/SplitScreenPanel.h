#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class SplitScreenPanel;
}

/// The tools panel's choice of layout: one button per split mode. The panel only asks; the main
/// window lays the views out.
class SplitScreenPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SplitScreenPanel(QWidget *parent = nullptr);
    ~SplitScreenPanel() override;

Q_SIGNALS:
    void oneSplitRequested();
    void pipSplitRequested();
    void dwTwoSplitRequested();
    void dmTwoSplitRequested();
    void dThreeSplitRequested();
    void wThreeSplitRequested();
    void mThreeSplitRequested();

private:
    std::unique_ptr<Ui::SplitScreenPanel> ui;
};

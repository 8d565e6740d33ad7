#pragma once

#include <QFrame>

#include <memory>

namespace Ui {
class ImageControlPanel;
}

/// The bar under a picture shown in full display: full screen on and off, and close.
///
/// The bar only asks; the main window connects fullScreenClicked() and closeClicked() to its
/// display-mode slots and its splitModeChange() to splitModeChangedUI().
class ImageControlPanel : public QFrame
{
    Q_OBJECT

public:
    explicit ImageControlPanel(QWidget *parent = nullptr);
    ~ImageControlPanel() override;

    /// Clicks the full-screen button as the user would, so that leaving full screen from
    /// elsewhere (the Escape key) keeps the button's state and the window's in step.
    void clickFullScreen();
    bool isFullScreenChecked() const;

public Q_SLOTS:
    /// Shows the close button in the layouts a picture can be closed from and hides it in the
    /// split layouts, where the picture is one pane among others.
    void splitModeChangedUI(int mode);

Q_SIGNALS:
    void fullScreenClicked(bool fullScreen);
    void closeClicked();

private:
    std::unique_ptr<Ui::ImageControlPanel> ui;
};

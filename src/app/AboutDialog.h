#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

/// The application's name, icon, version and what it is for, from the Help menu and the tray.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr char Version[] = "1.1.1035.41";

    /// Modal over `parent`.
    explicit AboutDialog(QWidget *parent);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};

#include "AboutDialog.h"

#include "ui_AboutDialog.h"

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    // The version lives in code, not in the form, so that one constant is all a release changes.
    ui->versionLabel->setText(tr("Version ") + QLatin1String(Version));
    setModal(true);
}

AboutDialog::~AboutDialog() = default;

#include "DeleteInfoDialog.h"

#include "FolderDeletion.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

namespace {

qsizetype slot(int kind)
{
    const auto &kinds = FolderDeletion::Kinds;
    return std::find(kinds.cbegin(), kinds.cend(), kind) - kinds.cbegin();
}

} // namespace

DeleteInfoDialog::DeleteInfoDialog(const FolderDeletion &deletion, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Delete..."));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(question(QFileInfo(deletion.folder()).fileName()), this));
    for (FolderDeletion::Kind kind : FolderDeletion::Kinds) {
        const int count = deletion.count(kind);
        auto *box = new QCheckBox(countText(kind, count), this);
        box->setChecked(count > 0);
        box->setEnabled(count > 0);
        layout->addWidget(box);
        boxes[std::size_t(slot(kind))] = box;
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString DeleteInfoDialog::question(const QString &folderName)
{
    const QString start = QStringLiteral("Do you want to delete \"");
    const QString whole = start + folderName + QLatin1Char('"');
    if (whole.size() < LongestQuestion)
        return whole;
    // Cut to one character under the limit, the ending included.
    const QString ending = QStringLiteral("...\"");
    return whole.left(LongestQuestion - 1 - ending.size()) + ending;
}

QString DeleteInfoDialog::countText(int kind, int count)
{
    const bool one = count < 2;
    QString text;
    switch (kind) {
    case FolderDeletion::Uploading:
        text = one ? QStringLiteral("%1 uploading file.\n")
                   : QStringLiteral("%1 uploading files.\n");
        break;
    case FolderDeletion::NonMedia:
        text = one ? QStringLiteral("%1 non-Media file.\n")
                   : QStringLiteral("%1 non-Media files.\n");
        break;
    case FolderDeletion::HiddenMedia:
        text = one ? QStringLiteral("%1 hidden Media file\n")
                   : QStringLiteral("%1 hidden Media files\n");
        break;
    case FolderDeletion::UploadedBefore:
        text = QStringLiteral("%1 media files uploaded before.\n");
        break;
    default:
        text = one ? QStringLiteral("%1 read-only file.\n")
                   : QStringLiteral("%1 read-only files.\n");
        break;
    }
    return text.arg(count);
}

int DeleteInfoDialog::keptKinds() const
{
    int kept = 0;
    for (FolderDeletion::Kind kind : FolderDeletion::Kinds) {
        if (!checkBox(kind)->isChecked())
            kept |= kind;
    }
    return kept;
}

QCheckBox *DeleteInfoDialog::checkBox(int kind) const
{
    return boxes.at(std::size_t(slot(kind)));
}

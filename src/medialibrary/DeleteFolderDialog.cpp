#include "DeleteFolderDialog.h"

#include "FolderDeletion.h"
#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MediaLibTableModel.h"

#include <MessageBox.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

DeleteFolderDialog::DeleteFolderDialog(const FolderDeletion &deletion, MediaInfoStore &store,
                                       QWidget *parent)
    : QDialog(parent)
    , store(store)
    , files(deletion.files())
    , folders(deletion.folders())
    , progress(new QProgressBar(this))
{
    const QString name = QFileInfo(deletion.folder()).fileName();
    setWindowTitle(QStringLiteral("Delete Folder \"%1\"").arg(name));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Deleting \"%1\"").arg(name), this));
    progress->setRange(0, int(files.size() + folders.size()));
    progress->setValue(0);
    layout->addWidget(progress);
}

void DeleteFolderDialog::startDeletion()
{
    done = 0;
    QTimer::singleShot(0, this, &DeleteFolderDialog::deleteNext);
}

void DeleteFolderDialog::deleteNext()
{
    const bool isFile = done < files.size();
    const QString path = isFile ? files.at(done) : folders.value(done - files.size());
    if (path.isEmpty()) {
        accept();
        return;
    }
    if (!(isFile ? removeFile(path) : removeFolder(path))) {
        reject();
        return;
    }
    progress->setValue(int(++done));
    QTimer::singleShot(0, this, &DeleteFolderDialog::deleteNext);
}

bool DeleteFolderDialog::removeFile(const QString &path)
{
    const QFileInfo file(path);
    // Made read-only after the tree was checked: it gets its write permission back first, so that
    // it goes as the user chose.
    if (!file.isSymLink() && file.exists() && !file.isWritable()
        && !QFile::setPermissions(path, file.permissions() | QFile::WriteOwner)) {
        MessageBox::warning(this, QStringLiteral("File error"),
                            QStringLiteral("Cannot set file attributes"));
        return false;
    }
    MediaImpl media(path, MediaLibTableModel::kindOfFileName(file.fileName()));
    return store.remove(media);
}

bool DeleteFolderDialog::removeFolder(const QString &path)
{
    QDir folder(path);
    // A folder that still holds files the user chose to keep stays with them.
    if (!folder.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        return true;
    if (!QDir().rmdir(path)) {
        MessageBox::warning(this, QStringLiteral("File error"),
                            QStringLiteral("Cannot remove this folder"));
        return false;
    }
    // Gone: the store drops the mirror folder and the index rows under it.
    MediaImpl media(path, MediaIntf::Folder);
    return store.remove(media);
}

#include "MediaFileTransfer.h"

#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MoveFileDialog.h"

#include <LogModule.h>
#include <MessageBox.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const LogModule mediaLog("velora/medialibrary");

QString folderOf(const QString &destination)
{
    const QFileInfo info(destination);
    return info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

bool sameVolume(const QString &a, const QString &b)
{
    struct stat first = {};
    struct stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0
            && ::stat(QFile::encodeName(b).constData(), &second) == 0
            && first.st_dev == second.st_dev;
}

} // namespace

QString MediaFileTransfer::copyTarget(const QString &source, const QString &destination)
{
    const QFileInfo from(source);
    const QDir folder(folderOf(destination));
    const QString name = from.fileName();
    QString target = folder.absoluteFilePath(name);
    for (int n = 0; target == from.absoluteFilePath() || QFileInfo(target).exists()
         || QFileInfo(target).isSymLink();
         ++n)
        target = folder.absoluteFilePath(QStringLiteral("Copy%1-%2").arg(n).arg(name));
    return target;
}

bool MediaFileTransfer::copyFile(const QString &source, const QString &destination, QWidget *parent)
{
    if (!QFileInfo(source).isFile())
        return false;
    MoveFileDialog dialog(source, copyTarget(source, destination), MoveFileDialog::Copy, parent);
    return dialog.run();
}

bool MediaFileTransfer::mayMove(const QString &source, const QString &folder, QWidget *parent)
{
    const QString title = QStringLiteral("File error");
    MediaInfoStore *store = MediaInfoStore::getInstance();
    const QString refusal = store->moveRefusal(QFileInfo(source).absoluteFilePath());
    store->release();
    if (!refusal.isEmpty()) {
        MessageBox::warning(parent, title, refusal);
        return false;
    }
    const QFileInfo target(QDir(folder).absoluteFilePath(QFileInfo(source).fileName()));
    if (!target.exists() || target == QFileInfo(source))
        return true;
    if (!target.isWritable()) {
        MessageBox::warning(parent, title,
                            QStringLiteral("Destination file exists and is write protected"));
        return false;
    }
    return MessageBox::question(parent, QStringLiteral("Move file"),
                                QStringLiteral("Destination file exists. Do you want to replace?"),
                                QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes;
}

bool MediaFileTransfer::moveFile(const QString &source, const QString &folder, QWidget *parent)
{
    const QString from = QFileInfo(source).absoluteFilePath();
    const QString to = QDir(folder).absoluteFilePath(QFileInfo(source).fileName());
    if (from == to || !QFileInfo(source).isFile())
        return false;
    if (sameVolume(from, folder)) {
        if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData())
            != 0) {
            MessageBox::warning(parent, QStringLiteral("File error"),
                                QStringLiteral("Move Copy file failed"));
            return false;
        }
    } else {
        // The copy is flushed before the source goes: a power loss or a pulled stick leaves
        // at least one whole file.
        MoveFileDialog dialog(from, to, MoveFileDialog::Move, parent);
        if (!dialog.run())
            return false;
        if (!QFile::remove(from))
            mediaLog.log(4, "MediaFileTransfer::moveFile - %s stays: %s", qPrintable(from),
                         std::strerror(errno));
    }
    MediaInfoStore *store = MediaInfoStore::getInstance();
    store->carry(MediaImpl(to), from);
    store->release();
    return true;
}

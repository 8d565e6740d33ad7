#include "MediaLibraryImpl.h"

#include "MediaImpl.h"
#include "MediaInfoModifiedPanel.h"
#include "MediaLibraryPanel.h"

#include <LogModule.h>

#include <QFileInfo>
#include <QSet>

namespace {

const LogModule libraryLog("velora/medialibrary");

} // namespace

MediaLibraryIntf *MediaLibraryIntf::getInstance()
{
    return MediaLibraryImpl::getInstance();
}

MediaLibraryImpl::MediaLibraryImpl()
    : mediaPanel(new MediaLibraryPanel)
{
    connect(mediaPanel, &MediaLibraryPanel::showImageRequested, this,
            &MediaLibraryIntf::showImageRequested);
    connect(mediaPanel, &MediaLibraryPanel::playVideoRequested, this,
            &MediaLibraryIntf::playVideoRequested);
    connect(mediaPanel, &MediaLibraryPanel::showMediaInfo, this, &MediaLibraryImpl::showMediaInfo);
    connect(mediaPanel, &MediaLibraryPanel::closeRequested, this,
            &MediaLibraryImpl::closeMediaLibPaenl);
    connect(mediaPanel, &MediaLibraryPanel::resized, this, &MediaLibraryIntf::widgetResized);
}

MediaLibraryImpl::~MediaLibraryImpl()
{
    // The main window may hold the panel as its child; it goes with the component either way,
    // so that its settings are written while the settings store still exists.
    delete mediaPanel.data();
}

QWidget *MediaLibraryImpl::panel()
{
    return mediaPanel;
}

void MediaLibraryImpl::addFiles(const QList<QString> &files)
{
    // The parts of one recording share a folder: it is shown again once, not once per part.
    QSet<QString> folders;
    for (const QString &file : files) {
        libraryLog.log(6, "MediaLibraryImpl::addFiles - %s", qPrintable(file));
        mediaPanel->addToDatabase(file);
        folders.insert(QFileInfo(file).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        mediaPanel->updateFile(folder);
}

void MediaLibraryImpl::showMediaInfo(MediaImpl *media)
{
    if (!media)
        return;
    // The dialog edits a copy of its own: the panel may reload its rows, and delete the object
    // it was opened from, while the dialog is still open.
    auto *copy = new MediaImpl(media->path(), media->kind());
    auto *dialog
            = new MediaInfoModifiedPanel(copy, MediaInfoModifiedPanel::PublishForm, mediaPanel);
    copy->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, mediaPanel, &MediaLibraryPanel::updateFolder);
    dialog->open();
}

void MediaLibraryImpl::closeMediaLibPaenl()
{
    Q_EMIT widgetClosed();
}

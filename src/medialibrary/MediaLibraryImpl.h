#pragma once

#include "MediaLibraryIntf.h"

#include <SharedComponent.h>

#include <QPointer>

class MediaImpl;
class MediaLibraryPanel;

class MediaLibraryImpl : public MediaLibraryIntf, public SharedComponent<MediaLibraryImpl>
{
    Q_OBJECT
    friend SharedComponent;

public:
    using SharedComponent::getInstance;

    void release() override { releaseShared(); }
    QWidget *panel() override;
    void addFiles(const QList<QString> &files) override;

    MediaLibraryPanel *libraryPanel() const { return mediaPanel; }

public Q_SLOTS:
    /// Opens the information dialog of `media`'s file, over the panel.
    void showMediaInfo(MediaImpl *media);
    void closeMediaLibPaenl();

private:
    MediaLibraryImpl();
    ~MediaLibraryImpl() override;

    QPointer<MediaLibraryPanel> mediaPanel;
};

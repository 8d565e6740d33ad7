#pragma once

#include "MediaIntf.h"

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

/// The media library: a panel that browses, searches and keeps in step with the folders of
/// captured pictures and recordings, and asks the main window to show what the user opens.
class MediaLibraryIntf : public QObject
{
    Q_OBJECT

public:
    /// The shared component; give it back with release().
    static MediaLibraryIntf *getInstance();

    virtual void release() = 0;
    /// The library's panel; the main window places it and may reparent it.
    virtual QWidget *panel() = 0;
    /// Files written elsewhere (a finished recording): indexed, and shown when they lie in the
    /// folder the panel shows.
    virtual void addFiles(const QList<QString> &files) = 0;

Q_SIGNALS:
    void showImageRequested(const QString &path);
    void playVideoRequested(MediaIntf *media);
    /// The panel's close button was pressed.
    void widgetClosed();
    /// The presenter dragged the panel's edge.
    void widgetResized();

protected:
    MediaLibraryIntf() = default;
    ~MediaLibraryIntf() override = default;
};

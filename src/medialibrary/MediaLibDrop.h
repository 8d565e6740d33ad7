#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class QDropEvent;
class QModelIndex;
class QWidget;

/// Drag and drop of files inside the media library, the same for its table and its grid: a
/// file dropped onto a folder moves into it, one dropped onto empty space is copied into the
/// folder shown.
///
/// The copy or move starts 100 ms after the drop, once the drag has ended, so that its
/// progress dialog does not open while the system still holds the mouse for the drag.
class MediaLibDrop : public QObject
{
    Q_OBJECT

public:
    explicit MediaLibDrop(QWidget *view);

    /// Starts dragging the file at `path` out of the view, as a file URL.
    void startDrag(const QString &path);
    /// Lets a drag in when it carries files from one of the library's own views.
    static void enter(QDropEvent *event);
    /// Takes the dropped files: onto the folder row `under` they move, onto empty space (no
    /// row) they are copied into `shownFolder`; onto a file nothing happens.
    void drop(QDropEvent *event, const QModelIndex &under, const QString &shownFolder);
    /// The same for the files of `urls`; false when nothing is to be done.
    bool take(const QList<QUrl> &urls, const QModelIndex &under, const QString &shownFolder);

public Q_SLOTS:
    void localCopyFile();
    void localMoveFile();

Q_SIGNALS:
    /// Files were copied or moved; the folder shown must be read again.
    void contentChanged();

private:
    QWidget *view;
    QStringList pending;
    QString destination;
};

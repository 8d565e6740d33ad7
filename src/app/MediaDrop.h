#pragma once

#include <QList>
#include <QString>
#include <QUrl>

/// What a drag onto the main window carries, and whether the window takes it: exactly one
/// picture (".jpg", ".png", ".bmp", ".tiff", ".jpeg") or video (".avi", ".wmv"), whatever the
/// case of its name. Whether the pointer is over the media-library panel is the window's call.
struct MediaDrop
{
    enum class Kind { None, Image, Video };

    Kind kind = Kind::None;
    /// The local file path, or the URL's text when it is not a local file.
    QString path;

    bool accepted() const { return kind != Kind::None; }

    static MediaDrop classify(const QList<QUrl> &urls);
};

#include "MediaDrop.h"

#include <array>

MediaDrop MediaDrop::classify(const QList<QUrl> &urls)
{
    MediaDrop drop;
    if (urls.size() != 1)
        return drop;
    const QUrl &url = urls.first();
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.toString();
    const QString name = path.toLower();

    static const std::array<QLatin1String, 5> images
            = {QLatin1String(".jpg"), QLatin1String(".png"), QLatin1String(".bmp"),
               QLatin1String(".tiff"), QLatin1String(".jpeg")};
    static const std::array<QLatin1String, 2> videos
            = {QLatin1String(".avi"), QLatin1String(".wmv")};
    const auto endsWithAny = [&name](const auto &suffixes) {
        for (const QLatin1String &suffix : suffixes) {
            if (name.endsWith(suffix))
                return true;
        }
        return false;
    };
    if (endsWithAny(images))
        drop.kind = Kind::Image;
    else if (endsWithAny(videos))
        drop.kind = Kind::Video;
    if (drop.accepted())
        drop.path = path;
    return drop;
}

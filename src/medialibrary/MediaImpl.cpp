#include "MediaImpl.h"

#include <algorithm>

MediaImpl::MediaImpl(const QString &path, int kind, QObject *parent)
    : MediaIntf(parent)
    , filePath(path)
    , fileKind(kind)
{ }

std::size_t MediaImpl::serviceIndex(Service service)
{
    // A value that names no service lands on the last slot rather than outside the array.
    const auto found = std::find(Services.begin(), Services.end(), service);
    return std::size_t(std::min(found, Services.end() - 1) - Services.begin());
}

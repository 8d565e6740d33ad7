#include "MediaImpl.h"

#include <algorithm>
#include <optional>

MediaImpl::MediaImpl(const QString &path, int kind, QObject *parent)
    : MediaIntf(parent)
    , filePath(path)
    , fileKind(kind)
{ }

namespace {

// The slot of `service`, or none for a value that names no service.
std::optional<std::size_t> serviceIndex(MediaIntf::Service service)
{
    const auto found = std::find(MediaIntf::Services.begin(), MediaIntf::Services.end(), service);
    if (found == MediaIntf::Services.end())
        return std::nullopt;
    return std::size_t(found - MediaIntf::Services.begin());
}

} // namespace

int MediaImpl::queueState(Service service) const
{
    const auto index = serviceIndex(service);
    return index ? queued[*index] : NotQueued;
}

void MediaImpl::setQueueState(Service service, int state)
{
    if (const auto index = serviceIndex(service))
        queued[*index] = state;
}

#pragma once

#include "ScreenGrabber.h"

#include <memory>

/// Grabs the desktop of a Wayland session, where no client may read the screen by itself: the
/// desktop's screen-cast portal asks the person once for a monitor and then streams its pictures,
/// the pointer drawn in, through PipeWire. Each grab hands over the newest of them.
class PortalScreenGrabber : public ScreenGrabber
{
public:
    /// Null, with `error` in words for the user, when the portal is missing, is refused or sends
    /// no picture. Runs a local event loop while the portal asks. `area` is in pixels of the
    /// desktop; an empty one, or one outside the chosen monitor, is the whole monitor.
    static std::unique_ptr<PortalScreenGrabber> create(const QRect &area, QString *error);
    ~PortalScreenGrabber() override;

    QSize size() const override;
    bool grab(DesktopPicture &picture) override;

private:
    struct Private;
    explicit PortalScreenGrabber(std::unique_ptr<Private> d);

    std::unique_ptr<Private> d;
};

#pragma once

#include "ScreenGrabber.h"

#include <memory>

/// Grabs an area of the X display named by DISPLAY through a connection of its own, so that it
/// may run on the recording thread. The server writes each picture straight into a shared-memory
/// segment (MIT-SHM) attached once; without that extension, or when the segment cannot be
/// attached (a display forwarded from another machine), the picture comes in the reply of an
/// ordinary image request. The pointer, read through XFixes, is blended into every picture.
///
/// Setting VELORA_X11_GRAB_NO_SHM=1 before creation forces the ordinary request: for tests, and
/// for remote displays where attaching seems to work but the server sees another segment.
class X11ScreenGrabber : public ScreenGrabber
{
public:
    /// Null, with `error` in words for the user, when the display cannot be opened, does not
    /// keep 24-bit colour in 32-bit pixels, or when `area` lies outside it. The area is clipped
    /// to the screen; an empty one means the whole screen.
    static std::unique_ptr<X11ScreenGrabber> create(const QRect &area, QString *error);
    ~X11ScreenGrabber() override;

    QSize size() const override;
    bool grab(DesktopPicture &picture) override;

    /// Whether pictures arrive through shared memory (false: through image replies).
    bool usesSharedMemory() const;

private:
    struct Private;
    explicit X11ScreenGrabber(std::unique_ptr<Private> d);

    std::unique_ptr<Private> d;
};

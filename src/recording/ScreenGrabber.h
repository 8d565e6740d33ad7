#pragma once

#include <QRect>
#include <QString>

#include <memory>

/// One desktop picture as a grabber holds it: 32-bit pixels in memory order B, G, R, X (the
/// fourth byte carries nothing), top line first. Valid until the grabber's next grab.
struct DesktopPicture
{
    const uchar *pixels = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
};

/// A source of desktop pictures with the mouse pointer drawn in, for recordings.
class ScreenGrabber
{
public:
    virtual ~ScreenGrabber() = default;

    /// The size of the pictures, in pixels of the screen.
    virtual QSize size() const = 0;
    /// Grabs the area now, the pointer drawn at its place. False when nothing could be grabbed.
    virtual bool grab(DesktopPicture &picture) = 0;

    /// The setting that chooses the source: "x11" or "portal"; anything else lets the session
    /// decide (a Wayland session: the screen-cast portal; otherwise the X server).
    static constexpr const char *SourceKey = "recording/screenGrabber";

    /// Whether grabbers come from the screen-cast portal rather than the X server, and `why`.
    static bool portalChosen(const char **why = nullptr);

    /// The grabber for `area` (pixels of the running desktop's screen). Null, with `error` saying
    /// why in words for the user, when the desktop cannot be recorded (no display, the portal
    /// missing or refused). The area is clipped to the screen; an empty one is the whole screen.
    /// The portal's grabber may ask the user first, in a local event loop.
    static std::unique_ptr<ScreenGrabber> create(const QRect &area, QString *error);
};

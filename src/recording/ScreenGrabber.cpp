#include "ScreenGrabber.h"

#include "X11ScreenGrabber.h"

#include <LogModule.h>

#include <QCoreApplication>

namespace {

const LogModule grabLog("velora/recording");

bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qEnvironmentVariable("XDG_SESSION_TYPE").compare(u"wayland", Qt::CaseInsensitive)
            == 0;
}

} // namespace

std::unique_ptr<ScreenGrabber> ScreenGrabber::create(const QRect &area, QString *error)
{
    // Under Wayland the X server sees only X windows; the rest of the desktop would be black.
    if (waylandSession()) {
        grabLog.log(LogSystem::LogError,
                    "ScreenGrabber::create - a Wayland session; the desktop is not recorded");
        if (error)
            *error = QCoreApplication::translate(
                    "ScreenGrabber",
                    "Recording the desktop is not possible in a Wayland session yet. Log out, "
                    "choose \"GNOME on Xorg\" (or another X11 session) at the log-in screen, "
                    "and log in again to record.");
        return {};
    }
    return X11ScreenGrabber::create(area, error);
}

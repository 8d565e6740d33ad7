#include "ScreenGrabber.h"

#include "PortalScreenGrabber.h"
#include "X11ScreenGrabber.h"

#include <LogModule.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

namespace {

const LogModule grabLog("velora/recording");

bool waylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            || qEnvironmentVariable("XDG_SESSION_TYPE").compare(u"wayland", Qt::CaseInsensitive)
            == 0;
}

} // namespace

bool ScreenGrabber::portalChosen(const char **why)
{
    // Under Wayland the X server sees only X windows (XWayland's); the rest of the desktop would
    // be black, so there the portal is asked for the screen.
    const QString chosen
            = ComponentRef<SettingIntf>()->value(QString::fromLatin1(SourceKey)).toString();
    const bool forced = chosen == QLatin1String("portal") || chosen == QLatin1String("x11");
    const bool wayland = waylandSession();
    if (why)
        *why = forced ? "as the settings say" : wayland ? "a Wayland session" : "an X11 session";
    return forced ? chosen == QLatin1String("portal") : wayland;
}

std::unique_ptr<ScreenGrabber> ScreenGrabber::create(const QRect &area, QString *error)
{
    const char *why = nullptr;
    const bool portal = portalChosen(&why);
    grabLog.log(LogSystem::LogNotice, "ScreenGrabber::create - the desktop through %s (%s)",
                portal ? "the screen-cast portal" : "the X server", why);
    if (portal)
        return PortalScreenGrabber::create(area, error);
    return X11ScreenGrabber::create(area, error);
}

#include "PortalScreenGrabber.h"

#include "PipeWireFrameStream.h"
#include "ScreenCastPortal.h"

#include <LogModule.h>

#include <QCoreApplication>

#include <utility>

namespace {

const LogModule grabLog("velora/recording");

// The portal's producer sends its first picture within a frame or two of starting.
constexpr int FirstPictureMs = 5000;

QString userText(const char *text)
{
    return QCoreApplication::translate("ScreenGrabber", text);
}

} // namespace

struct PortalScreenGrabber::Private
{
    QString session;
    std::unique_ptr<PipeWireFrameStream> stream;
    bool failureLogged = false;

    // The stream goes before the session, so that its producer is not cut off under it.
    ~Private()
    {
        stream.reset();
        ScreenCastPortal::closeSession(session);
    }
};

PortalScreenGrabber::PortalScreenGrabber(std::unique_ptr<Private> d)
    : d(std::move(d))
{ }

PortalScreenGrabber::~PortalScreenGrabber() = default;

std::unique_ptr<PortalScreenGrabber> PortalScreenGrabber::create(const QRect &area, QString *error)
{
    auto setError = [error](const QString &text) {
        if (error)
            *error = text;
    };
    ScreenCastPortal portal;
    ScreenCastPortal::Cast cast;
    switch (portal.start(&cast)) {
    case ScreenCastPortal::Outcome::Granted:
        break;
    case ScreenCastPortal::Outcome::Missing:
        setError(userText("The desktop cannot be recorded: this Wayland desktop offers no screen "
                          "sharing. Install xdg-desktop-portal and the portal of your desktop "
                          "(for example xdg-desktop-portal-gnome), then log in again."));
        return {};
    case ScreenCastPortal::Outcome::Refused:
        setError(userText("The desktop is not recorded: sharing the screen was not allowed."));
        return {};
    case ScreenCastPortal::Outcome::Failed:
        setError(userText("The desktop cannot be recorded: the desktop's screen sharing failed."));
        return {};
    }
    auto d = std::make_unique<Private>();
    d->session = cast.session;
    const QRect onMonitor = area.translated(-cast.position);
    d->stream = std::make_unique<PipeWireFrameStream>(cast.pipeWireFd, cast.node, onMonitor);
    QString why;
    if (!d->stream->waitForFirstPicture(FirstPictureMs, &why)) {
        grabLog.log(LogSystem::LogError, "PortalScreenGrabber::create - %s", qPrintable(why));
        setError(userText("The desktop cannot be recorded: the desktop's screen sharing sends "
                          "no picture."));
        return {};
    }
    grabLog.log(LogSystem::LogNotice,
                "PortalScreenGrabber::create - grabbing %dx%d of the shared monitor",
                d->stream->size().width(), d->stream->size().height());
    return std::unique_ptr<PortalScreenGrabber>(new PortalScreenGrabber(std::move(d)));
}

QSize PortalScreenGrabber::size() const
{
    return d->stream->size();
}

bool PortalScreenGrabber::grab(DesktopPicture &picture)
{
    if (d->stream->latest(picture))
        return true;
    // A recording asks 25 times a second; once is enough to explain the missing frames.
    if (!std::exchange(d->failureLogged, true))
        grabLog.log(LogSystem::LogCritical,
                    "PortalScreenGrabber::grab - the screen cast has ended: no more pictures");
    return false;
}

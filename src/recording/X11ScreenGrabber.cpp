#include "X11ScreenGrabber.h"

#include <LogModule.h>

#include <QCoreApplication>

#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

const LogModule grabLog("velora/recording");

struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
/// Replies, events and errors: xcb hands them over to be freed by the caller.
template<typename T> using Reply = std::unique_ptr<T, FreeReply>;

struct Disconnect
{
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

struct UnmapSegment
{
    void operator()(void *address) const { shmdt(address); }
};

/// A shared segment attached on both sides; released from the server first, then from here.
struct DetachSegment
{
    xcb_connection_t *connection = nullptr;
    xcb_shm_seg_t segment = 0;
    void operator()(uchar *address) const
    {
        xcb_shm_detach(connection, segment);
        xcb_flush(connection);
        UnmapSegment()(address);
    }
};
using Segment = std::unique_ptr<uchar, DetachSegment>;

QString userText(const char *text)
{
    return QCoreApplication::translate("ScreenGrabber", text);
}

/// A segment of `bytes` shared with the server; null, with `why` set, when it cannot be.
Segment attachSegment(xcb_connection_t *connection, size_t bytes, QString *why)
{
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) {
        *why = QStringLiteral("shmget: ") + qt_error_string(errno);
        return {};
    }
    std::unique_ptr<void, UnmapSegment> mapping(shmat(id, nullptr, 0));
    if (mapping.get() == reinterpret_cast<void *>(-1)) {
        mapping.release();
        *why = QStringLiteral("shmat: ") + qt_error_string(errno);
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    Reply<xcb_generic_error_t> error;
    if (mapping)
        error.reset(xcb_request_check(connection,
                                      xcb_shm_attach_checked(connection, segment, id, false)));
    // Both sides hold it now (or never will): removed at once, the segment disappears with the
    // last detach, even when the process crashes.
    shmctl(id, IPC_RMID, nullptr);
    if (!mapping)
        return {};
    if (error) {
        // A server on another machine sees no such segment.
        *why = QStringLiteral("the server could not attach it (X error %1)").arg(error->error_code);
        return {};
    }
    return Segment(static_cast<uchar *>(mapping.release()), DetachSegment{connection, segment});
}

/// Why the root window's pixels are not 24-bit colour in 32-bit B, G, R, X words; empty when
/// they are.
QString pixelLayoutProblem(const xcb_setup_t *setup, const xcb_screen_t *screen, int *scanlinePad)
{
    if (screen->root_depth != 24 && screen->root_depth != 32)
        return QStringLiteral("depth %1").arg(screen->root_depth);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return QStringLiteral("most significant byte first");
    *scanlinePad = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth && f.data->bits_per_pixel == 32)
            *scanlinePad = f.data->scanline_pad;
    }
    if (*scanlinePad == 0)
        return QStringLiteral("no 32-bit pixel format for depth %1").arg(screen->root_depth);
    for (auto depth = xcb_screen_allowed_depths_iterator(screen); depth.rem;
         xcb_depth_next(&depth)) {
        for (auto v = xcb_depth_visuals_iterator(depth.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id != screen->root_visual)
                continue;
            if (v.data->red_mask == 0xff0000 && v.data->green_mask == 0xff00
                && v.data->blue_mask == 0xff)
                return {};
            return QStringLiteral("colour masks %1/%2/%3")
                    .arg(v.data->red_mask, 0, 16)
                    .arg(v.data->green_mask, 0, 16)
                    .arg(v.data->blue_mask, 0, 16);
        }
    }
    return QStringLiteral("no root visual");
}

/// `source` (premultiplied A, R, G, B) over `target` (X, R, G, B).
quint32 over(quint32 source, quint32 target)
{
    const quint32 alpha = source >> 24;
    if (alpha == 0)
        return target;
    if (alpha == 255)
        return source;
    quint32 result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const quint32 kept = (((target >> shift) & 0xff) * (255 - alpha) + 127) / 255;
        // Clamped: a cursor whose colour exceeds its alpha would otherwise spill into the next
        // channel.
        result |= std::min(((source >> shift) & 0xff) + kept, 255u) << shift;
    }
    return result;
}

} // namespace

struct X11ScreenGrabber::Private
{
    Connection connection;
    xcb_window_t root = 0;
    QRect area;
    int bytesPerLine = 0;
    // Declared after the connection, so released while it is still open.
    Segment segment;
    // The picture of the last grab when it came in a reply; kept until the next.
    Reply<xcb_get_image_reply_t> plainImage;
    bool failureLogged = false;

    bool xfixes = false;
    uint8_t xfixesFirstEvent = 0;
    // The cursor's picture is fetched only when the server says it changed.
    bool cursorStale = true;
    quint32 cursorSerial = 0;
    QSize cursorSize;
    QPoint cursorHotSpot;
    std::vector<quint32> cursorPixels;

    uchar *receiveShared(xcb_shm_get_image_cookie_t cookie);
    uchar *receivePlain(xcb_get_image_cookie_t cookie);
    void logFailure(const char *function, const xcb_generic_error_t *error);
    bool readPointer(xcb_query_pointer_cookie_t cookie, QPoint *position);
    void blendPointer(uchar *pixels, QPoint position) const;
};

X11ScreenGrabber::X11ScreenGrabber(std::unique_ptr<Private> d)
    : d(std::move(d))
{ }

X11ScreenGrabber::~X11ScreenGrabber() = default;

std::unique_ptr<X11ScreenGrabber> X11ScreenGrabber::create(const QRect &area, QString *error)
{
    auto setError = [error](const QString &text) {
        if (error)
            *error = text;
    };
    auto d = std::make_unique<Private>();
    int screenNumber = 0;
    d->connection.reset(xcb_connect(nullptr, &screenNumber));
    xcb_connection_t *c = d->connection.get();
    const QByteArray display = qgetenv("DISPLAY");
    if (xcb_connection_has_error(c)) {
        grabLog.log(LogSystem::LogCritical,
                    "X11ScreenGrabber::create - cannot connect to the X display \"%s\" (error %d)",
                    display.constData(), xcb_connection_has_error(c));
        setError(userText("The desktop cannot be recorded: no graphical display could be opened."));
        return {};
    }
    const xcb_setup_t *setup = xcb_get_setup(c);
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t *screen = screens.rem ? screens.data : nullptr;
    int scanlinePad = 0;
    const QString layoutProblem = screen ? pixelLayoutProblem(setup, screen, &scanlinePad)
                                         : QStringLiteral("no screen %1").arg(screenNumber);
    if (!layoutProblem.isEmpty()) {
        grabLog.log(LogSystem::LogCritical,
                    "X11ScreenGrabber::create - display \"%s\" cannot be read: %s",
                    display.constData(), qPrintable(layoutProblem));
        setError(userText("The desktop cannot be recorded in its present colour setting. Set the "
                          "display to 24-bit colour (millions of colours) to record."));
        return {};
    }
    d->root = screen->root;
    const QRect screenArea(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    d->area = area.isEmpty() ? screenArea : area.intersected(screenArea);
    if (d->area.isEmpty()) {
        grabLog.log(LogSystem::LogError, "X11ScreenGrabber::create - %d,%d %dx%d is off the screen",
                    area.x(), area.y(), area.width(), area.height());
        setError(userText(
                "The desktop cannot be recorded: the area to record is outside the screen."));
        return {};
    }
    d->bytesPerLine = (d->area.width() * 32 + scanlinePad - 1) / scanlinePad * scanlinePad / 8;

    QString plainReason = QStringLiteral("VELORA_X11_GRAB_NO_SHM is set");
    if (qEnvironmentVariableIntValue("VELORA_X11_GRAB_NO_SHM") == 0) {
        const xcb_query_extension_reply_t *shm = xcb_get_extension_data(c, &xcb_shm_id);
        if (shm && shm->present)
            d->segment = attachSegment(c, size_t(d->bytesPerLine) * d->area.height(), &plainReason);
        else
            plainReason = QStringLiteral("the server has no MIT-SHM");
    }
    grabLog.log(LogSystem::LogNotice,
                "X11ScreenGrabber::create - grabbing %dx%d at %d,%d of \"%s\" through %s",
                d->area.width(), d->area.height(), d->area.x(), d->area.y(), display.constData(),
                d->segment ? "shared memory"
                           : qPrintable(QStringLiteral("image requests: ") + plainReason));

    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (xfixes && xfixes->present) {
        // The server answers no other XFixes request before the version is agreed.
        Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
                c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
                nullptr));
        d->xfixes = version != nullptr;
        d->xfixesFirstEvent = xfixes->first_event;
    }
    if (d->xfixes)
        xcb_xfixes_select_cursor_input(c, d->root, XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
    else
        grabLog.log(LogSystem::LogWarning,
                    "X11ScreenGrabber::create - the server has no XFixes: no pointer is drawn");
    xcb_flush(c);
    return std::unique_ptr<X11ScreenGrabber>(new X11ScreenGrabber(std::move(d)));
}

QSize X11ScreenGrabber::size() const
{
    return d->area.size();
}

bool X11ScreenGrabber::usesSharedMemory() const
{
    return d->segment != nullptr;
}

bool X11ScreenGrabber::grab(DesktopPicture &picture)
{
    xcb_connection_t *c = d->connection.get();
    const QRect &a = d->area;
    // All requests go out before the first answer is awaited: one round trip per picture.
    const auto sharedCookie = d->segment
            ? xcb_shm_get_image(c, d->root, a.x(), a.y(), a.width(), a.height(), ~0u,
                                XCB_IMAGE_FORMAT_Z_PIXMAP, d->segment.get_deleter().segment, 0)
            : xcb_shm_get_image_cookie_t{};
    const auto plainCookie = d->segment ? xcb_get_image_cookie_t{}
                                        : xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, d->root,
                                                        a.x(), a.y(), a.width(), a.height(), ~0u);
    const auto pointerCookie
            = d->xfixes ? xcb_query_pointer(c, d->root) : xcb_query_pointer_cookie_t{};
    uchar *pixels = d->segment ? d->receiveShared(sharedCookie) : d->receivePlain(plainCookie);
    QPoint pointer;
    const bool pointerKnown = d->xfixes && d->readPointer(pointerCookie, &pointer);
    if (!pixels)
        return false;
    if (pointerKnown)
        d->blendPointer(pixels, pointer - d->cursorHotSpot - d->area.topLeft());
    picture.pixels = pixels;
    picture.width = d->area.width();
    picture.height = d->area.height();
    picture.bytesPerLine = d->bytesPerLine;
    return true;
}

uchar *X11ScreenGrabber::Private::receiveShared(xcb_shm_get_image_cookie_t cookie)
{
    xcb_generic_error_t *error = nullptr;
    Reply<xcb_shm_get_image_reply_t> reply(
            xcb_shm_get_image_reply(connection.get(), cookie, &error));
    Reply<xcb_generic_error_t> errorOwner(error);
    if (reply && reply->size >= uint32_t(bytesPerLine) * area.height())
        return segment.get();
    logFailure("xcb_shm_get_image", error);
    return nullptr;
}

uchar *X11ScreenGrabber::Private::receivePlain(xcb_get_image_cookie_t cookie)
{
    xcb_generic_error_t *error = nullptr;
    plainImage.reset(xcb_get_image_reply(connection.get(), cookie, &error));
    Reply<xcb_generic_error_t> errorOwner(error);
    if (plainImage && xcb_get_image_data_length(plainImage.get()) >= bytesPerLine * area.height())
        return xcb_get_image_data(plainImage.get());
    logFailure("xcb_get_image", error);
    return nullptr;
}

void X11ScreenGrabber::Private::logFailure(const char *function, const xcb_generic_error_t *error)
{
    // A recording asks 25 times a second; once is enough to explain the missing frames.
    if (std::exchange(failureLogged, true))
        return;
    grabLog.log(LogSystem::LogCritical, "X11ScreenGrabber::grab - %s failed: %s", function,
                error ? qPrintable(QStringLiteral("X error %1").arg(error->error_code))
                        : xcb_connection_has_error(connection.get())
                        ? "the display connection broke"
                        : "a short picture");
}

bool X11ScreenGrabber::Private::readPointer(xcb_query_pointer_cookie_t cookie, QPoint *position)
{
    xcb_connection_t *c = connection.get();
    Reply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(c, cookie, nullptr));
    // Every event the server sent before answering is queued by now, so a cursor change made
    // before this grab is seen in this grab.
    while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
        if ((event->response_type & 0x7f) == xfixesFirstEvent + XCB_XFIXES_CURSOR_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_xfixes_cursor_notify_event_t *>(event.get());
            cursorStale = cursorStale || notify->cursor_serial != cursorSerial;
        }
    }
    if (!cursorStale) {
        *position = QPoint(pointer ? pointer->root_x : 0, pointer ? pointer->root_y : 0);
        return pointer && pointer->same_screen;
    }
    Reply<xcb_xfixes_get_cursor_image_reply_t> image(
            xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    const size_t count = image ? size_t(image->width) * image->height : 0;
    if (!image || size_t(xcb_xfixes_get_cursor_image_cursor_image_length(image.get())) < count)
        return false;
    const uint32_t *pixels = xcb_xfixes_get_cursor_image_cursor_image(image.get());
    cursorPixels.assign(pixels, pixels + count);
    cursorSize = QSize(image->width, image->height);
    cursorHotSpot = QPoint(image->xhot, image->yhot);
    cursorSerial = image->cursor_serial;
    cursorStale = false;
    *position = QPoint(image->x, image->y);
    return true;
}

void X11ScreenGrabber::Private::blendPointer(uchar *pixels, QPoint topLeft) const
{
    const QRect drawn = QRect(topLeft, cursorSize).intersected(QRect(QPoint(), area.size()));
    for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(pixels + y * bytesPerLine);
        const quint32 *source = cursorPixels.data() + (y - topLeft.y()) * cursorSize.width();
        for (int x = drawn.left(); x <= drawn.right(); ++x)
            line[x] = over(source[x - topLeft.x()], line[x]);
    }
}

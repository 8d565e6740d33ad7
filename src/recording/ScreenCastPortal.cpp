#include "ScreenCastPortal.h"

#include <LogModule.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <fcntl.h>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

const LogModule portalLog("velora/recording");

const QString Service = u"org.freedesktop.portal.Desktop"_s;
const QString ObjectPath = u"/org/freedesktop/portal/desktop"_s;
const QString ScreenCast = u"org.freedesktop.portal.ScreenCast"_s;

// A person may be choosing what to share; a portal that says nothing for this long is broken.
constexpr int AnswerTimeoutMs = 180000;

constexpr uint MonitorSource = 1;
constexpr uint HiddenCursor = 1;
constexpr uint EmbeddedCursor = 2;
// Kept until the user revokes it; the token itself lives only as long as the login.
constexpr uint PersistUntilRevoked = 2;

QDBusMessage portalCall(const QString &interface, const QString &method)
{
    return QDBusMessage::createMethodCall(Service, ObjectPath, interface, method);
}

/// A property of the screen-cast interface; invalid when the portal does not answer.
QVariant portalProperty(const QString &name)
{
    QDBusMessage get = portalCall(u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << ScreenCast << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

QPoint pair(const QVariant &value)
{
    int first = 0;
    int second = 0;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginStructure();
        argument >> first >> second;
        argument.endStructure();
    }
    return {first, second};
}

/// A name for a request or a session, new in this process: the portal refuses one still in use.
QString newToken()
{
    static std::atomic<int> counter{0};
    return u"velora%1"_s.arg(++counter);
}

QString storedToken()
{
    QFile file(ScreenCastPortal::tokenPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

void storeToken(const QString &token)
{
    QSaveFile file(ScreenCastPortal::tokenPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(token.toUtf8()) < 0 || !file.commit())
        portalLog.log(LogSystem::LogWarning,
                      "ScreenCastPortal::start - the permission token cannot be kept in %s: %s",
                      qPrintable(file.fileName()), qPrintable(file.errorString()));
}

} // namespace

QString ScreenCastPortal::tokenPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
            + u"/velora-screencast-token"_s;
}

ScreenCastPortal::Outcome ScreenCastPortal::failure(Outcome outcome, const char *step,
                                                    const QString &why)
{
    portalLog.log(outcome == Outcome::Refused ? LogSystem::LogWarning : LogSystem::LogError,
                  "ScreenCastPortal::start - %s: %s", step, qPrintable(why));
    return outcome;
}

ScreenCastPortal::Outcome ScreenCastPortal::start(Cast *cast)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return failure(Outcome::Missing, "no session bus",
                       QDBusConnection::sessionBus().lastError().message());
    const QVariant version = portalProperty(u"version"_s);
    if (!version.isValid())
        return failure(Outcome::Missing, "no screen-cast portal", u"it does not answer"_s);
    const uint cursorModes = portalProperty(u"AvailableCursorModes"_s).toUInt();
    portalLog.log(LogSystem::LogNotice,
                  "ScreenCastPortal::start - portal version %u, pointer modes %u", version.toUInt(),
                  cursorModes);

    QVariantMap results;
    Outcome outcome
            = request(u"CreateSession"_s, {}, {{u"session_handle_token"_s, newToken()}}, &results);
    if (outcome != Outcome::Granted)
        return outcome;
    cast->session = results.value(u"session_handle"_s).toString();
    if (cast->session.isEmpty())
        return failure(Outcome::Failed, "CreateSession", u"no session in the answer"_s);

    QVariantMap sources{
            {u"types"_s, MonitorSource},
            {u"multiple"_s, false},
            {u"cursor_mode"_s, cursorModes & EmbeddedCursor ? EmbeddedCursor : HiddenCursor}};
    if (!(cursorModes & EmbeddedCursor))
        portalLog.log(LogSystem::LogWarning,
                      "ScreenCastPortal::start - the portal cannot draw the pointer in");
    const bool persists = version.toUInt() >= 4;
    if (persists) {
        sources.insert(u"persist_mode"_s, PersistUntilRevoked);
        const QString token = storedToken();
        if (!token.isEmpty())
            sources.insert(u"restore_token"_s, token);
    }
    const QDBusObjectPath session(cast->session);
    outcome = request(u"SelectSources"_s, {QVariant::fromValue(session)}, sources, &results);
    if (outcome == Outcome::Granted)
        outcome = request(u"Start"_s, {QVariant::fromValue(session), QString()}, {}, &results);
    if (outcome == Outcome::Granted) {
        const QString token = results.value(u"restore_token"_s).toString();
        if (persists && !token.isEmpty())
            storeToken(token);
        const QDBusArgument streams = results.value(u"streams"_s).value<QDBusArgument>();
        streams.beginArray();
        if (!streams.atEnd()) {
            QVariantMap properties;
            streams.beginStructure();
            streams >> cast->node >> properties;
            streams.endStructure();
            cast->position = pair(properties.value(u"position"_s));
            const QPoint size = pair(properties.value(u"size"_s));
            cast->size = QSize(size.x(), size.y());
        }
        streams.endArray();
        if (cast->node == 0)
            outcome = failure(Outcome::Failed, "Start", u"no stream in the answer"_s);
    }
    if (outcome == Outcome::Granted) {
        QDBusMessage open = portalCall(ScreenCast, u"OpenPipeWireRemote"_s);
        open << QVariant::fromValue(session) << QVariantMap();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(open);
        const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
        // The message's own copy closes with it.
        cast->pipeWireFd = fd.isValid() ? fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 3) : -1;
        if (cast->pipeWireFd < 0)
            outcome = failure(Outcome::Failed, "OpenPipeWireRemote",
                              reply.errorMessage().isEmpty() ? u"no descriptor"_s
                                                             : reply.errorMessage());
    }
    if (outcome != Outcome::Granted) {
        closeSession(cast->session);
        cast->session.clear();
        return outcome;
    }
    portalLog.log(LogSystem::LogNotice, "ScreenCastPortal::start - casting node %u, %dx%d at %d,%d",
                  cast->node, cast->size.width(), cast->size.height(), cast->position.x(),
                  cast->position.y());
    return Outcome::Granted;
}

ScreenCastPortal::Outcome ScreenCastPortal::request(const QString &method, QVariantList arguments,
                                                    QVariantMap options, QVariantMap *results)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The request's object path is predictable: subscribing to it before the call means its
    // answer cannot arrive unseen, even when the portal answers at once.
    const QString token = newToken();
    options.insert(u"handle_token"_s, token);
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    awaitedPath = ObjectPath + u"/request/"_s + sender + u'/' + token;
    answered = false;
    bus.connect(Service, awaitedPath, u"org.freedesktop.portal.Request"_s, u"Response"_s, this,
                SLOT(response(uint, QVariantMap)));
    QDBusMessage call = portalCall(ScreenCast, method);
    call.setArguments(arguments << options);
    const QDBusMessage reply = bus.call(call);
    if (reply.type() == QDBusMessage::ReplyMessage && !answered) {
        QEventLoop loop;
        waiting = &loop;
        QTimer::singleShot(AnswerTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        waiting = nullptr;
    }
    bus.disconnect(Service, awaitedPath, u"org.freedesktop.portal.Request"_s, u"Response"_s, this,
                   SLOT(response(uint, QVariantMap)));
    if (reply.type() != QDBusMessage::ReplyMessage) {
        const bool missing = reply.errorName().startsWith(u"org.freedesktop.DBus.Error.Unknown")
                || reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown"_s;
        return failure(missing ? Outcome::Missing : Outcome::Failed, qPrintable(method),
                       reply.errorName() + u' ' + reply.errorMessage());
    }
    if (!answered)
        return failure(Outcome::Failed, qPrintable(method), u"the portal never answered"_s);
    *results = answerResults;
    // 1: the user (or the chooser) said no; 2: anything else went wrong.
    if (answerCode == 1)
        return failure(Outcome::Refused, qPrintable(method), u"refused"_s);
    if (answerCode != 0)
        return failure(Outcome::Failed, qPrintable(method), u"answer %1"_s.arg(answerCode));
    return Outcome::Granted;
}

void ScreenCastPortal::response(uint code, const QVariantMap &results)
{
    answered = true;
    answerCode = code;
    answerResults = results;
    if (waiting)
        waiting->quit();
}

void ScreenCastPortal::closeSession(const QString &session)
{
    if (session.isEmpty())
        return;
    QDBusMessage close = QDBusMessage::createMethodCall(
            Service, session, u"org.freedesktop.portal.Session"_s, u"Close"_s);
    QDBusConnection::sessionBus().call(close, QDBus::NoBlock);
}

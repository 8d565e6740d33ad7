#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariantMap>

class QEventLoop;

/// The desktop's screen-cast portal (org.freedesktop.portal.ScreenCast on the session bus) asked
/// for one monitor with the pointer drawn in: CreateSession, SelectSources, Start, then
/// OpenPipeWireRemote for the connection that carries the pictures.
///
/// Each request is answered later by a Response signal; the conversation waits for it in a local
/// event loop, as a modal dialog would, because the answer may take a person choosing. Where the
/// portal can keep the permission, the token it gives back is kept in the login's runtime folder,
/// so that later recordings of the same login are not asked again.
class ScreenCastPortal : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Granted, Missing, Refused, Failed };

    struct Cast
    {
        QString session; // the portal session's object path; closed by closeSession()
        int pipeWireFd = -1; // owned by the caller
        quint32 node = 0;
        QPoint position; // of the monitor on the desktop
        QSize size;
    };

    /// Runs the conversation to its end. Anything but Granted has been logged, and leaves no
    /// session open.
    Outcome start(Cast *cast);

    /// Ends a session start() opened; from any thread.
    static void closeSession(const QString &session);

    /// Where the permission token is kept.
    static QString tokenPath();

private Q_SLOTS:
    void response(uint code, const QVariantMap &results);

private:
    /// Calls `method` of the screen-cast interface and waits for its request's answer.
    Outcome request(const QString &method, QVariantList arguments, QVariantMap options,
                    QVariantMap *results);
    Outcome failure(Outcome outcome, const char *step, const QString &why);

    QEventLoop *waiting = nullptr;
    QString awaitedPath;
    bool answered = false;
    uint answerCode = 2;
    QVariantMap answerResults;
};

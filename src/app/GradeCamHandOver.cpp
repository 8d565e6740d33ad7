#include "GradeCamHandOver.h"

#include <KivoscopeIntf.h>
#include <LogModule.h>
#include <MessageBox.h>

#include <QDesktopServices>

namespace {

const LogModule gradeCamLog("velora/gradecam");

} // namespace

GradeCamHandOver::GradeCamHandOver(KivoscopeIntf *kivoscope, QObject *parent)
    : QObject(parent)
    , kivoscope(kivoscope)
{ }

QUrl GradeCamHandOver::loginPage()
{
    return QUrl(QStringLiteral("https://gradecam.com/login"));
}

void GradeCamHandOver::step(QWidget *parent, const QString &title)
{
    if (currentText == LendText)
        lend(parent, title);
    else
        takeBack(parent, title);
}

void GradeCamHandOver::cameraDisconnected()
{
    setState(LendText, false);
}

void GradeCamHandOver::lend(QWidget *parent, const QString &title)
{
    const auto answer = MessageBox::question(
            parent, title,
            QStringLiteral("The DocCam will be disconnected from\n Velora while we take you to "
                           "the Kivo\n Gradecam Insight login page. Are you\n sure you want to "
                           "proceed?"),
            QMessageBox::Cancel | QMessageBox::Yes, QMessageBox::Cancel);
    if (answer != QMessageBox::Yes) {
        setState(LendText, false);
        return;
    }

    const ResultCode result = kivoscope->releaseCameraForOtherApp();
    if (result != Result::Success) {
        gradeCamLog.log(3, "GradeCamHandOver::lend - The camera could not be released: %d", result);
        setState(LendText, false);
        return;
    }
    if (!QDesktopServices::openUrl(loginPage()))
        gradeCamLog.log(3, "GradeCamHandOver::lend - No browser opened the login page");
    setState(ReconnectText, true);
}

void GradeCamHandOver::takeBack(QWidget *parent, const QString &title)
{
    for (;;) {
        const ResultCode result = kivoscope->reconnect();
        if (result == Result::Success) {
            setState(LendText, false);
            return;
        }
        gradeCamLog.log(3, "GradeCamHandOver::takeBack - Reconnecting failed: %d", result);
        // Nobody to ask (an unattended run) means Cancel, never an endless retry.
        const auto answer = MessageBox::question(
                parent, title,
                QStringLiteral("Velora can not reconnect to the DocCam.\n Make sure you are "
                               "logged out of \n Gradecam."),
                QMessageBox::Cancel | QMessageBox::Retry, QMessageBox::Cancel);
        if (answer != QMessageBox::Retry) {
            // The camera stays lent: the next click tries again.
            setState(ReconnectText, true);
            return;
        }
    }
}

void GradeCamHandOver::setState(const QString &text, bool checked)
{
    // Always announced: a click has toggled the button or action already, and it has to be put
    // back even when the state itself did not change.
    currentText = text;
    currentChecked = checked;
    Q_EMIT changed(currentText, currentChecked);
}

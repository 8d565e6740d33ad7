#include "SingleApplication.h"

#include "SingleInstanceGuard.h"

#include <QWidget>

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
    , guard(new SingleInstanceGuard(SingleInstanceGuard::defaultKey(), this))
{
    connect(guard, &SingleInstanceGuard::messageReceived, this,
            &SingleApplication::messageReceived);
    connect(guard, &SingleInstanceGuard::messageReceived, this, [this] {
        if (activateOnMessage)
            activateWindow();
    });
}

SingleApplication::~SingleApplication() = default;

bool SingleApplication::isRunning() const
{
    return guard->isRunning();
}

bool SingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    return guard->sendMessage(message, timeoutMs);
}

void SingleApplication::setActivationWindow(QWidget *activation, bool activate)
{
    window = activation;
    activateOnMessage = activate;
}

void SingleApplication::activateWindow()
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

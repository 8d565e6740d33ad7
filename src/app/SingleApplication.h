#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

class SingleInstanceGuard;

/// A QApplication that knows whether another instance of the same user is running, can send
/// it a message, and brings its own activation window forward when it receives one.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv);
    ~SingleApplication() override;

    bool isRunning() const;
    bool sendMessage(const QString &message, int timeoutMs = 5000);

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const { return window; }

public Q_SLOTS:
    /// Shows, restores and raises the activation window.
    void activateWindow();

Q_SIGNALS:
    void messageReceived(const QString &message);

private:
    SingleInstanceGuard *guard;
    QPointer<QWidget> window;
    bool activateOnMessage = false;
};

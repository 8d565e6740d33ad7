#include "Velora.h"

#include <CameraWidget.h>
#include <KivoscopeIntf.h>

#include <QIcon>
#include <QScreen>
#include <QTimer>

Velora::Velora(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Velora"));
    setWindowIcon(QIcon(QStringLiteral(":/Image/pics/velora.png")));
    kivoscope = KivoscopeIntf::getInstance(this);
    setCentralWidget(kivoscope->view());
    // The size to return to when the presenter un-maximizes the window.
    const QRect available = screen()->availableGeometry();
    resize(available.size() * 4 / 5);
    move(available.center() - rect().center());
    showMaximized();

    // Without a window manager (a bare X server) nobody honours the maximized state; cover the
    // screen ourselves once it is clear the request went unanswered.
    QTimer::singleShot(500, this, [this] {
        if (isMaximized() && geometry().size() != screen()->availableGeometry().size())
            setGeometry(screen()->availableGeometry());
    });
}

Velora::~Velora()
{
    // The camera goes first: its frames must not reach a view being destroyed.
    kivoscope->release();
}

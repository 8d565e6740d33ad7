#include "Velora.h"

#include <CameraWidget.h>
#include <DocCamControlPanel.h>
#include <KivoscopeIntf.h>
#include <WebCamIntf.h>

#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

Velora::Velora(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Velora"));
    setWindowIcon(QIcon(QStringLiteral(":/Image/pics/velora.png")));

    // The document camera beside its controls, and the webcam beside both when switched on.
    auto *central = new QWidget(this);
    kivoscope = KivoscopeIntf::getInstance(central);
    webCam = WebCamIntf::getInstance(central);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(kivoscope->view(), 3);
    CameraWidget *webCamView = webCam->mainView();
    webCamView->hide();
    layout->addWidget(webCamView, 2);

    auto *controls = new QVBoxLayout;
    controls->addWidget(new DocCamControlPanel(kivoscope, central), 0, Qt::AlignTop);
    auto *webCamButton = new QPushButton(tr("Webcam"), central);
    webCamButton->setObjectName(QStringLiteral("webCamBtn"));
    webCamButton->setCheckable(true);
    connect(webCamButton, &QPushButton::toggled, this, [this](bool on) {
        if (on)
            webCam->switchDisplayOn();
        else
            webCam->switchDisplayOff();
    });
    controls->addWidget(webCamButton, 0, Qt::AlignTop);
    controls->addStretch(1);
    layout->addLayout(controls);
    setCentralWidget(central);

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
    // The cameras go first: their frames must not reach views being destroyed.
    webCam->release();
    kivoscope->release();
}

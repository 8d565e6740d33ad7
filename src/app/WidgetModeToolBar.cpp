#include "WidgetModeToolBar.h"

#include "RecordingCounter.h"

#include <CaptureIntf.h>
#include <KivoscopeIntf.h>
#include <RecordingStatus.h>
#include <WidgetModeDocCamCtrlPanel.h>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

WidgetModeToolBar::WidgetModeToolBar(KivoscopeIntf *kivoscope, QWidget *parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , kivoscope(kivoscope)
{
    setObjectName(QStringLiteral("WidgetModeToolBar"));
    setWindowTitle(tr("Velora"));
    setFrameShape(QFrame::NoFrame);

    mainLayout = new QVBoxLayout(this);
    // The bar's size is its content's: the width is pinned by the square container below, the
    // height grows and shrinks as rows (the recording mark, later components' rows) come and go.
    mainLayout->setSizeConstraint(QLayout::SetFixedSize);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    buildTitleRow();
    mainLayout->addWidget(titleRow);

    container = new QWidget(this);
    container->setObjectName(QStringLiteral("cameraContainer"));
    container->setFixedSize(Width, Width);
    auto *containerLayout = new QGridLayout(container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->addWidget(container);

    docCamPanel = new WidgetModeDocCamCtrlPanel(kivoscope, this);
    // A row may be narrower than the bar but never widen it.
    docCamPanel->setMaximumWidth(Width);
    mainLayout->addWidget(docCamPanel);

    // Pictures and recordings in widget mode: the camera's picture, the whole desktop's, and a
    // recording of the desktop, icons only like the camera row above.
    captureRow = new QWidget(this);
    captureRow->setObjectName(QStringLiteral("captureRow"));
    auto *captureLayout = new QHBoxLayout(captureRow);
    captureLayout->setContentsMargins(2, 2, 2, 2);
    captureLayout->setSpacing(2);
    auto makeCaptureButton
            = [this, captureLayout](const QString &name, const QString &icon, const QString &tip) {
                  auto *button = new QToolButton(captureRow);
                  button->setObjectName(name);
                  button->setIcon(QIcon(icon));
                  button->setIconSize(QSize(24, 24));
                  button->setToolTip(tip);
                  button->setAutoRaise(true);
                  captureLayout->addWidget(button);
                  return button;
              };
    docCamCaptureBtn = makeCaptureButton(QStringLiteral("docCamCaptureBtn"),
                                         QStringLiteral(":/Image/pics/tools_capture.png"),
                                         tr("Take a picture of the document camera"));
    screenCaptureBtn = makeCaptureButton(QStringLiteral("screenCaptureBtn"),
                                         QStringLiteral(":/Image/pics/tools_widgetMode.png"),
                                         tr("Take a picture of the desktop"));
    recordBtn = makeCaptureButton(QStringLiteral("recordBtn"),
                                  QStringLiteral(":/Image/pics/tools_record.png"), tr("Record"));
    recordBtn->setCheckable(true);
    recordBtn->hide();
    captureLayout->addStretch(1);
    connect(recordBtn, &QAbstractButton::clicked, this, [this](bool on) {
        // The press only asks; the button shows what the recording reports back.
        recordUIChangedWithStatus(lastRecordStatus);
        if (!on)
            Q_EMIT stopRecordRequested();
        else if (lastRecordStatus & RecordingStatus::MayStart)
            Q_EMIT startRecordingRequested();
    });
    connect(docCamCaptureBtn, &QAbstractButton::clicked, this,
            &WidgetModeToolBar::docCamCaptureRequested);
    connect(screenCaptureBtn, &QAbstractButton::clicked, this,
            &WidgetModeToolBar::screenCaptureRequested);
    mainLayout->addWidget(captureRow);
    captureRow->hide();

    connect(kivoscope, &KivoscopeIntf::docCamConnected, this,
            &WidgetModeToolBar::docCamConnectedChangedUI);
    connect(kivoscope, &KivoscopeIntf::docCamDisconnected, this,
            &WidgetModeToolBar::docCamDisconnectedChagnedUI);
    if (kivoscope->isConnected())
        docCamConnectedChangedUI(kivoscope->modelName());
    else
        docCamDisconnectedChagnedUI();
    recordUIChangedWithStatus(0);
    captureActionStatusChangedUI(0);
}

WidgetModeToolBar::~WidgetModeToolBar()
{
    // The camera view belongs to the camera controller, which deletes it itself; a bar closed
    // while holding it must not take it along.
    if (heldView) {
        heldView->hide();
        heldView->setParent(nullptr);
    }
}

void WidgetModeToolBar::buildTitleRow()
{
    titleRow = new QWidget(this);
    titleRow->setObjectName(QStringLiteral("titleRow"));
    titleRow->setCursor(Qt::SizeAllCursor);

    titleLabel = new QLabel(titleRow);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    // A long model name must not widen the bar; the tooltip carries it whole.
    titleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    recordIndicator = new QLabel(tr("REC"), titleRow);
    recordIndicator->setObjectName(QStringLiteral("recordIndicator"));
    recordIndicator->setStyleSheet(QStringLiteral("color: white; background-color: rgb(220,0,0);"
                                                  "border-radius: 3px; padding: 0px 4px;"
                                                  "font-weight: bold;"));
    recordIndicator->setToolTip(tr("Recording"));

    auto *button = new QToolButton(titleRow);
    button->setObjectName(QStringLiteral("closeBtn"));
    button->setIcon(QIcon(QStringLiteral(":/Image/pics/videobar_exit.png")));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(tr("Back to the window"));
    button->setAutoRaise(true);
    button->setCursor(Qt::ArrowCursor);
    connect(button, &QToolButton::clicked, this, &WidgetModeToolBar::closeClicked);
    closeBtn = button;

    auto *layout = new QHBoxLayout(titleRow);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(4);
    layout->addWidget(titleLabel, 1);
    layout->addWidget(recordIndicator);
    layout->addWidget(closeBtn);
}

QAbstractButton *WidgetModeToolBar::closeButton() const
{
    return closeBtn;
}

void WidgetModeToolBar::takeCameraView(QWidget *view)
{
    if (!view)
        return;
    if (heldView && heldView != view)
        giveBackCameraView();
    heldView = view;
    // In the container's layout the view follows the container's size, whatever sets it.
    container->layout()->addWidget(view);
    view->show();
}

QWidget *WidgetModeToolBar::giveBackCameraView()
{
    QWidget *view = heldView.data();
    heldView.clear();
    if (!view)
        return nullptr;
    container->layout()->removeWidget(view);
    // Hidden first so that, between here and the caller's reparenting, it never shows as a
    // window of its own.
    view->hide();
    view->setParent(nullptr);
    return view;
}

void WidgetModeToolBar::setExtraPanel(QWidget *panel)
{
    if (panel == extra)
        return;
    delete extra;
    extra = panel;
    if (!panel)
        return;
    panel->setParent(this);
    panel->setMaximumWidth(Width);
    mainLayout->addWidget(panel);
    panel->show();
}

QPoint WidgetModeToolBar::rightEdgePosition(const QRect &available, const QSize &barSize)
{
    const int x = available.x() + available.width() - barSize.width();
    const int y = available.y() + (available.height() - barSize.height()) / 2;
    return {std::max(x, available.left()), std::max(y, available.top())};
}

void WidgetModeToolBar::placeAtRightEdge(const QRect &available)
{
    // The layout sets the final size; place by that, not by whatever size the bar had before.
    mainLayout->activate();
    move(rightEdgePosition(available, frameGeometry().size()));
}

QString WidgetModeToolBar::titleText() const
{
    return titleLabel->text();
}

bool WidgetModeToolBar::isRecordIndicatorShown() const
{
    return !recordIndicator->isHidden();
}

void WidgetModeToolBar::docCamConnectedChangedUI(QString modelName)
{
    titleLabel->setText(modelName);
    titleLabel->setToolTip(modelName);
    docCamPanel->setEnabled(true);
}

void WidgetModeToolBar::docCamDisconnectedChagnedUI()
{
    titleLabel->setText(tr("No camera"));
    titleLabel->setToolTip(QString());
    docCamPanel->setEnabled(false);
}

void WidgetModeToolBar::recordUIChangedWithStatus(uint status)
{
    lastRecordStatus = status;
    const bool recording = status & RecordingStatus::Exists;
    recordIndicator->setVisible(recording);
    showRecordButton(recordBtn, recording);
}

void WidgetModeToolBar::captureActionStatusChangedUI(uint status)
{
    lastCaptureStatus = status;
    screenCaptureBtn->setEnabled(status & CaptureStatus::DesktopCapture);
    docCamCaptureBtn->setEnabled(status & CaptureStatus::DocCamCapture);
}

void WidgetModeToolBar::setCaptureAvailable(bool available)
{
    captureShown = available;
    docCamCaptureBtn->setVisible(available);
    screenCaptureBtn->setVisible(available);
    captureRow->setVisible(captureShown || recordShown);
}

void WidgetModeToolBar::setRecordingAvailable(bool available)
{
    recordShown = available;
    recordBtn->setVisible(available);
    captureRow->setVisible(captureShown || recordShown);
}

QAbstractButton *WidgetModeToolBar::docCamCaptureButton() const
{
    return docCamCaptureBtn;
}

QAbstractButton *WidgetModeToolBar::screenCaptureButton() const
{
    return screenCaptureBtn;
}

void WidgetModeToolBar::mousePressEvent(QMouseEvent *event)
{
    const QPoint inBar = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !titleRow->geometry().contains(inBar)) {
        QFrame::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window where it can (and must, under Wayland); elsewhere the
    // bar follows the pointer itself.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging = true;
    dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void WidgetModeToolBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging || !(event->buttons() & Qt::LeftButton)) {
        QFrame::mouseMoveEvent(event);
        return;
    }
    event->accept();
    move(event->globalPosition().toPoint() - dragOffset);
}

void WidgetModeToolBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragging || event->button() != Qt::LeftButton) {
        QFrame::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    dragging = false;
}

#include "Velora.h"

#include "AboutDialog.h"
#include "CaptureSelectionPanel.h"
#include "GradeCamHandOver.h"
#include "PanelSlider.h"
#include "RecordingControlBar.h"
#include "SettingDialog.h"
#include "ToolsPanel.h"
#include "WidgetModeToolBar.h"
#include "ui_Velora.h"

#include <AnnotationIntf.h>
#include <CameraWidget.h>
#include <CaptureIntf.h>
#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>
#include <LogModule.h>
#include <MediaInfoStore.h>
#include <MediaLibraryIntf.h>
#include <PipView.h>
#include <RecordingIntf.h>
#include <SettingIntf.h>
#include <SplitScreenPanel.h>
#include <SpotlightIntf.h>
#include <VideoIntf.h>
#include <VisorIntf.h>
#include <WebCamIntf.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

namespace {

const LogModule veloraLog("velora/mainWindow");

const QString NotFirstLaunchKey = QStringLiteral("NOT_FIRST_TIME_LAUNCH");
const QString ToolsPanelStatusKey = QStringLiteral("TOOLS_PANEL_STATUS");
const QString MediaLibStatusKey = QStringLiteral("MEDIA_LIB_STATUS");

} // namespace

Velora::Velora(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::Velora>())
{
    ui->setupUi(this);
    QAction *about = ui->menuHelp->addAction(tr("About"));
    about->setObjectName(QStringLiteral("actionAbout"));
    connect(about, &QAction::triggered, this, &Velora::showAboutDialog);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    setAcceptDrops(true);

    // The central area is black behind every view, and the overlays hang inside it.
    ui->centralwidget->setAutoFillBackground(true);
    QPalette black = ui->centralwidget->palette();
    black.setColor(QPalette::Window, Qt::black);
    ui->centralwidget->setPalette(black);

    settings = SettingIntf::getInstance();
    wireImageViews();
    wireVideo();
    wireDocCam();
    wireWebCam();
    wireToolsPanel();
    wireMediaLibrary();
    wireWidgetModeBar();
    wireRecordingIndicator();
    // Before the capture: exit questions are asked in the order they were added.
    wireRecording();
    wireCapture();
    wireAnnotation();
    wirePipView();
    wireScreens();
    wireSettingDialog();
    wirePresenter();
    ui->centralwidget->installEventFilter(this);

    becomeOneSplit();

    // The size to return to when the presenter un-maximizes the window.
    const QRect available = screen()->availableGeometry();
    resize(available.size() * 4 / 5);
    move(available.center() - rect().center());
    showMaximized();
    // Without a window manager (a bare X server) nobody honours the maximized state; cover the
    // screen ourselves once it is clear the request went unanswered.
    QTimer::singleShot(500, this, [this] {
        if (isMaximized() && !isFullScreen()
            && geometry().size() != screen()->availableGeometry().size())
            setGeometry(screen()->availableGeometry());
    });

    applyFirstLaunchRule();
    QTimer::singleShot(500, this, &Velora::raiseUpAllControlWidgets);
}

Velora::~Velora()
{
    // The video's widget lives in the central area; it goes with the player, which stops
    // feeding it first.
    video->release();
    // Views that belong to the components leave the window before the components go, so that
    // each component deletes its own view exactly once.
    if (inWidgetMode)
        widgetModeToolBar->giveBackCameraView();
    widgetModeToolBar.reset();
    // It holds the recording and webcam components, which go below.
    delete settingDialog;
    settingDialog = nullptr;
    settings->release();
    delete imageView;
    imageView = nullptr;
    mediaInfo->release();
    // Gives back the camera canvas too, before the camera view that holds it goes.
    annotation->release();
    delete toolsPanel;
    toolsPanel = nullptr;
    // The panel goes with its component; the slider must not place it afterwards.
    mediaLibSlider.reset();
    mediaLibrary->release();
    // The cameras go last: their frames must not reach views being destroyed.
    kivoscope->setStillCaptureHandler({});
    controlBar.reset();
    recording->release();
    capture->release();
    webCam->release();
    kivoscope->release();
    visor->release();
    spotlight->release();
}

QAction *Velora::gradeCamAction() const
{
    return ui->actionGradeCam;
}

int Velora::mainSourceOf(int mode)
{
    switch (mode) {
    case 5:
        return WebCamSource;
    case 6:
    case 7:
    case 8:
        return MediaSource;
    default:
        return DocCamSource;
    }
}

void Velora::wireImageViews()
{
    // Both picture views report what they show to the media library's record, which it
    // consults before it deletes or renames a file.
    mediaInfo = MediaInfoStore::getInstance();
    auto record = mediaInfo->shownMedia();
    imageView = new ImageWidget(ui->centralwidget, record);
    imageView->setObjectName(QStringLiteral("imageView"));
    secondImageView = new ImageWidget(ui->centralwidget, record);
    secondImageView->setObjectName(QStringLiteral("secondImageView"));
    for (ImageWidget *view : {imageView, secondImageView}) {
        // A picture that decodes late changes its shape: fit it again.
        connect(view, &ImageWidget::imageShown, this, &Velora::layoutViews);
        // Or it turns out unreadable after setImage() said yes: undo the showing.
        connect(view, &ImageWidget::imageFailed, this, [this](const QString &path) {
            if (path == shownImagePath)
                leaveUnreadableImage();
        });
    }

    imageControlPanel = new ImageControlPanel(ui->centralwidget);
    connect(imageControlPanel, &ImageControlPanel::fullScreenClicked, this,
            &Velora::changeImageFullScreenDisplayMode);
    connect(imageControlPanel, &ImageControlPanel::closeClicked, this,
            &Velora::leaveImageFullDisplaySplit);
    connect(this, &Velora::splitModeChange, imageControlPanel,
            &ImageControlPanel::splitModeChangedUI);
    imageView->hide();
    secondImageView->hide();
    imageControlPanel->hide();
}

void Velora::wireDocCam()
{
    kivoscope = KivoscopeIntf::getInstance(ui->centralwidget);
    gradeCam = new GradeCamHandOver(kivoscope, this);
    ui->actionGradeCam->setEnabled(kivoscope->isConnected());
    connect(ui->actionGradeCam, &QAction::triggered, this, &Velora::actionGradeCamClicked);
    connect(gradeCam, &GradeCamHandOver::changed, this, [this](const QString &text, bool checked) {
        ui->actionGradeCam->setText(text);
        ui->actionGradeCam->setChecked(checked);
    });
    connect(kivoscope, &KivoscopeIntf::docCamConnected, this, &Velora::getDocCamConnected);
    connect(kivoscope, &KivoscopeIntf::docCamDisconnected, this, &Velora::getDocCamDisConntect);
}

void Velora::wireWebCam()
{
    webCam = WebCamIntf::getInstance(ui->centralwidget);
    webCam->switchDisplayOff();
    connect(webCam, &WebCamIntf::currentWebCamDisconnected, this, &Velora::curWebCamDisconnected);
    connect(webCam, &WebCamIntf::webCamListChanged, this, &Velora::getWebCamListChanged);
}

void Velora::wireToolsPanel()
{
    // The strip and the widget-mode bar follow the camera's coming and going themselves.
    toolsPanel = new ToolsPanel(kivoscope, gradeCam, ui->centralwidget);
    toolsPanel->hide();
    toolsHandle = new HandleButton(tr("Menu"), Qt::Horizontal, ui->centralwidget);
    toolsHandle->setObjectName(QStringLiteral("toolsHandle"));
    toolsSlider = std::make_unique<PanelSlider>(toolsPanel, toolsHandle, PanelSlider::Edge::Top,
                                                SlideDuration);
    connect(toolsHandle, &QPushButton::clicked, this, &Velora::toolPanelShow);
    connect(toolsPanel, &ToolsPanel::toolPanelClosed, this, &Velora::toolPanelHide);
    connect(toolsPanel, &ToolsPanel::sizeChanged, this, [this] { toolsSlider->place(); });
    connect(toolsPanel->widgetModeButton(), &QAbstractButton::clicked, this,
            &Velora::becomeWidgetMode);
    connect(this, &Velora::isFullDisplayMode, toolsPanel, &ToolsPanel::fullDisplayChangedUI);
    connect(toolsPanel, &ToolsPanel::stopRecordRequested, this, &Velora::stopRecord);

    const SplitScreenPanel *split = toolsPanel->splitPanel();
    connect(split, &SplitScreenPanel::oneSplitRequested, this, &Velora::becomeOneSplit);
    connect(split, &SplitScreenPanel::pipSplitRequested, this, &Velora::becomePipSplit);
    connect(split, &SplitScreenPanel::dwTwoSplitRequested, this, &Velora::becomeDWTwoSplit);
    connect(split, &SplitScreenPanel::dmTwoSplitRequested, this, &Velora::becomeDMTwoSplit);
    connect(split, &SplitScreenPanel::dThreeSplitRequested, this, &Velora::becomeDThreeSplit);
    connect(split, &SplitScreenPanel::wThreeSplitRequested, this, &Velora::becomeWThreeSplit);
    connect(split, &SplitScreenPanel::mThreeSplitRequested, this, &Velora::becomeMThreeSplit);

    mediaLibHandle = new HandleButton(tr("Media Library"), Qt::Vertical, ui->centralwidget);
    mediaLibHandle->setObjectName(QStringLiteral("mediaLibHandle"));
    mediaLibHandle->setFixedSize(PanelSlider::HandleThickness, PanelSlider::HandleLength);
    connect(mediaLibHandle, &QPushButton::clicked, this, &Velora::mediaLibPanelShow);
    // Without a media-library panel there is nothing to slide in.
    mediaLibHandle->hide();
}

void Velora::wireWidgetModeBar()
{
    widgetModeToolBar = std::make_unique<WidgetModeToolBar>(kivoscope);
    widgetModeToolBar->hide();
    connect(widgetModeToolBar.get(), &WidgetModeToolBar::closeClicked, this,
            &Velora::leaveWidgetMode);
}

void Velora::wireCapture()
{
    capture = CaptureIntf::getInstance();
    toolsPanel->setSubPanel(ToolsPanel::Capture, new CaptureSelectionPanel(capture));
    connect(capture, &CaptureIntf::actionStatusChanged, widgetModeToolBar.get(),
            &WidgetModeToolBar::captureActionStatusChangedUI);
    widgetModeToolBar->captureActionStatusChangedUI(capture->getActionStatus());
    widgetModeToolBar->setCaptureAvailable(true);
    connect(widgetModeToolBar.get(), &WidgetModeToolBar::docCamCaptureRequested, this, [this] {
        QString path;
        capture->captureVision(&path);
    });
    connect(widgetModeToolBar.get(), &WidgetModeToolBar::screenCaptureRequested, this, [this] {
        QString path;
        capture->captureScreen(&path);
    });
    addExitQuery({[this] { return capture->confirmExit(); }, {Result::Success}});
    // The camera's own capture button: a still nobody asked for that came back empty is taken
    // from the live picture instead.
    kivoscope->setStillCaptureHandler([] {
        CaptureIntf *component = CaptureIntf::getInstance();
        QString path;
        component->captureVision(&path);
        component->release();
    });
}

void Velora::wirePipView()
{
    pipView = new PipView(ui->centralwidget);
    pipView->hide();
    pipGeometry = pipView->geometry();
    connect(pipView, &PipView::movePressed, this, &Velora::pipMove);
}

void Velora::wireScreens()
{
    // A resolution change on any screen re-maximizes the window; screens come and go too.
    auto watch = [this](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, [this, screen] {
            getResolutionChangedToResize(int(QGuiApplication::screens().indexOf(screen)));
        });
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, watch);
}

void Velora::wireSettingDialog()
{
    settingDialog = new SettingDialog(recording, webCam, this);
    connect(ui->actionSetting, &QAction::triggered, this, &Velora::showSettingPanel);
}

void Velora::showSettingPanel()
{
    settingDialog->exec();
}

void Velora::getDocCamConnected(const QString &modelName)
{
    veloraLog.log(6, "Velora::getDocCamConnected - %s", qPrintable(modelName));
    ui->actionGradeCam->setEnabled(true);
    Q_EMIT docCamAnnotationEnable(true);
}

void Velora::getDocCamDisConntect()
{
    veloraLog.log(6, "Velora::getDocCamDisConntect - The document camera went away");
    ui->actionGradeCam->setEnabled(false);
    gradeCam->cameraDisconnected();
    Q_EMIT docCamAnnotationEnable(false);
}

void Velora::actionGradeCamClicked()
{
    gradeCam->step(this, QStringLiteral("Velora"));
}

void Velora::curWebCamDisconnected()
{
    // The webcam views show their own "no camera" state; the layout stays as chosen so the
    // picture returns by itself when the webcam is plugged back in.
    veloraLog.log(6, "Velora::curWebCamDisconnected - The main webcam went away");
}

void Velora::getWebCamListChanged(const QList<QString> &webCams)
{
    veloraLog.log(6, "Velora::getWebCamListChanged - %d webcam(s)", int(webCams.size()));
}

void Velora::getResolutionChangedToResize(int screen)
{
    veloraLog.log(5, "Velora::getResolutionChangedToResize - Screen %d changed", screen);
    if (inWidgetMode) {
        widgetModeToolBar->placeAtRightEdge(this->screen()->availableGeometry());
    } else if (!imageFullScreen) {
        showNormal();
        QTimer::singleShot(100, this, &QWidget::showMaximized);
    }
    // A recording of the desktop cannot go on at a size the desktop no longer has.
    stopRecord();
}

void Velora::showAboutDialog()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void Velora::addExitQuery(ExitQuery query)
{
    exitQueries.push_back(std::move(query));
}

bool Velora::askExitQueries()
{
    bool confirmed = true;
    for (const ExitQuery &query : exitQueries) {
        const ResultCode answer = query.ask();
        if (answer < 0)
            return false;
        confirmed = confirmed && query.confirming.contains(answer);
    }
    return confirmed;
}

void Velora::closeEvent(QCloseEvent *event)
{
    exitConfirmed = askExitQueries();
    if (!exitConfirmed) {
        veloraLog.log(5, "Velora::closeEvent - Exit declined");
        event->ignore();
        return;
    }

    // The panels are written as the presenter last arranged them, not as the mask left them.
    leavePresenterMode();
    settings->setValue(NotFirstLaunchKey, true);
    settings->setValue(ToolsPanelStatusKey, toolsPanelStatus);
    settings->setValue(MediaLibStatusKey, mediaLibStatus);
    event->accept();
    widgetModeToolBar->hide();
    trayIcon->hide();
    controlBar->hide();
    // Ends the loop even when the floating bar or a dialog is still a visible window.
    QCoreApplication::exit(0);
}

void Velora::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        leaveFullScreen();
    event->accept();
}

void Velora::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    placeMasks();
    Q_EMIT veloraMoved(frameGeometry().topLeft());
}

void Velora::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

bool Velora::eventFilter(QObject *watched, QEvent *event)
{
    // Every view and overlay hangs in the central area: follow its size, whatever changed it
    // (the window, the menu bar, full screen).
    if (watched == ui->centralwidget && event->type() == QEvent::Resize) {
        placeMasks();
        toolsSlider->place();
        if (mediaLibSlider)
            mediaLibSlider->place();
        applyMode();
    }
    return QMainWindow::eventFilter(watched, event);
}

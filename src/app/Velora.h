#pragma once

#include <ResultCode.h>

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class AnnotationIntf;
class CanvasView;
class CaptureIntf;
class GradeCamHandOver;
class ImageControlPanel;
class ImageWidget;
class KivoscopeIntf;
class MediaInfoStore;
class MediaIntf;
class MediaLibraryIntf;
class PanelSlider;
class PipView;
class QAction;
class QMenu;
class QMimeData;
class QPushButton;
class RecordingControlBar;
class RecordingIntf;
class RecordingStarter;
class SettingDialog;
class SettingIntf;
class SleepWatcher;
class SpotlightIntf;
class ToolsPanel;
class VideoControlPanel;
class VideoIntf;
class VisorIntf;
class WebCamIntf;
class WidgetModeToolBar;

namespace Ui {
class Velora;
}

/// Velora's main window: the live picture and whatever is shown beside it in one of nine
/// display modes, the sliding tool strip and media-library panel, widget mode, the recording
/// indicator in the tray, and the exit sequence.
///
/// Display modes: 0 document camera alone; 1 document camera with the webcam in a movable
/// picture-in-picture frame; 2 document camera | webcam; 3 document camera | media; 4, 5, 6 three
/// views with the document camera, the webcam or the media as the large one; 7 a picture and
/// 8 a video in full display. Modes 7 and 8 are entered only from 0, 1 and 2 and left back to the
/// mode they came from.
///
/// Each component is wired in one place (a `wire...` function) so that components landing later
/// add a function rather than growing the constructor.
class Velora : public QMainWindow
{
    Q_OBJECT

public:
    /// Source values of the main view, as the camera views see them.
    enum MainSource { DocCamSource = 1, MediaSource = 2, WebCamSource = 4 };
    /// What the media area holds (mediaDisplayKind).
    enum MediaKind { ImageShown = 0, VideoShown = 1, NothingShown = 2 };

    static constexpr int SlideDuration = 100;
    static constexpr int FirstLaunchPanelsTime = 5000;

    /// An exit question of a component: its answer, negative when the user declined.
    struct ExitQuery
    {
        std::function<ResultCode()> ask;
        /// The answers that let the application exit; any other non-negative answer keeps the
        /// window open without asking further.
        QList<ResultCode> confirming;
    };

    explicit Velora(QWidget *parent = nullptr);
    ~Velora() override;

    int currentSplitMode() const { return splitMode; }
    int previousMode() const { return previousSplitMode; }
    int mediaKind() const { return mediaDisplayKind; }
    int mainSource() const { return mainSourceValue; }
    bool isInWidgetMode() const { return inWidgetMode; }
    bool isToolsPanelShown() const { return toolsPanelStatus; }
    bool isMediaLibShown() const { return mediaLibStatus; }
    bool isImageFullScreen() const { return imageFullScreen; }
    bool isVideoFullScreen() const { return videoFullScreen; }
    bool lastExitConfirmed() const { return exitConfirmed; }
    /// A visor or a spotlight is over the picture.
    bool isInPresenterMode() const { return presenterMode; }
    /// The main-source value of `mode`.
    static int mainSourceOf(int mode);

    /// Puts the media library's panel at the window's left edge, behind the "Media Library"
    /// handle, with the visibility remembered from the last exit.
    void installMediaLibraryPanel(QWidget *panel);
    /// Adds a component's question to the exit sequence, asked after those added before it.
    void addExitQuery(ExitQuery query);

    ToolsPanel *tools() const { return toolsPanel; }
    WidgetModeToolBar *widgetModeBar() const { return widgetModeToolBar.get(); }
    ImageWidget *fullImageView() const { return imageView; }
    ImageWidget *splitImageView() const { return secondImageView; }
    PipView *pictureInPicture() const { return pipView; }
    QSystemTrayIcon *recordingTrayIcon() const { return trayIcon; }
    QAction *recordingCounterAction() const { return counterAction; }
    /// Stands in for the tray icon on desktops without a system tray.
    RecordingControlBar *recordingBar() const { return controlBar.get(); }
    /// The countdown on screen, null when none runs.
    RecordingStarter *recordingStarter() const;
    QAction *gradeCamAction() const;
    SettingDialog *settingsDialog() const { return settingDialog; }
    CanvasView *cameraCanvas() const { return docCamCanvas; }
    CanvasView *pictureCanvas() const { return imageCanvas; }
    VisorIntf *visorMask() const { return visor; }
    SpotlightIntf *spotlightMask() const { return spotlight; }
    VideoIntf *videoPlayer() const { return video; }
    VideoControlPanel *videoBar() const { return videoControlPanel; }

Q_SIGNALS:
    void docCamAnnotationEnable(bool on);
    void splitModeChange(int mode);
    void isFullDisplayMode(bool yes);
    void veloraMoved(QPoint topLeft);

public Q_SLOTS:
    void videoObjRequestToPlay(MediaIntf *media);
    void imgRequestToShow(const QString &path);
    void showSettingPanel();
    /// Follows the video's allowed actions: its bar's buttons and the library's record of the
    /// file playing.
    void videoStatusControl(uint status);
    void becomeWidgetMode();
    void leaveWidgetMode();
    void startRecording();
    void stopRecord();
    void recordForceStopped(int reason, const QList<QString> &files);
    void recordForceStopped(int reason);
    void recordingStatusChangedUI(uint status);
    void muteUnmuteRecord(bool mute);
    void playPauseRecord(bool pause);
    /// The desktop session ends or the machine goes to sleep: a running recording is stopped
    /// and kept without asking anybody, since nobody may be there to answer.
    void stopRecordForSession();
    /// Asked to stop by the system (a logout, a shutdown): closes the way the presenter would,
    /// with a running recording finished first.
    void endSession();
    void pipMove();
    void replacePipView();
    void recordingCounterCount();
    void becomeOneSplit();
    void becomePipSplit();
    void becomeDWTwoSplit();
    void becomeDMTwoSplit();
    void becomeDThreeSplit();
    void becomeWThreeSplit();
    void becomeMThreeSplit();
    void becomeVideoFullDisplaySplit();
    void becomeImageFullDisplaySplit();
    void leaveVideoFullDisplaySplit();
    void leaveImageFullDisplaySplit();
    void changeVideoFullScreenDisplayMode(bool fullScreen);
    void changeImageFullScreenDisplayMode(bool fullScreen);
    /// Lays the visor over the picture, with the panels out of its way until it closes.
    void showUpVisor();
    /// Lays the spotlight over the picture, with the panels out of its way until it closes.
    void showUpSpotlight();
    /// Takes the mask away and brings back the panels that were open before it.
    void leavePresenterMode();

protected Q_SLOTS:
    void toolPanelShow();
    void toolPanelHide();
    void mediaLibPanelShow();
    void mediaLibPanelClose();
    void mediaLibPanelResized();
    void getDocCamConnected(const QString &modelName);
    void getDocCamDisConntect();
    void visionZoomRatioChanged(double ratio);
    void visionRotationChanged(uint degree);
    void visionMirrorChanged(bool mirror);

private Q_SLOTS:
    void raiseUpAllControlWidgets();
    void hideToolsPanelAndMediaLib();
    void curWebCamDisconnected();
    void getWebCamListChanged(const QList<QString> &webCams);
    void recordStopTrayTriggered(QSystemTrayIcon::ActivationReason reason);
    void showRecordingStarter();
    void recordingStarterDone(bool start);
    void getResolutionChangedToResize(int screen);
    void showAboutDialog();
    void mediaHideControl();
    void noMediaDisplay();
    /// The media area went away (a layout without it): the video pauses out of sight.
    void videoHide();
    void videoShow();
    void actionGradeCamClicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Construction, one component at a time.
    void wireImageViews();
    void wireDocCam();
    void wireWebCam();
    void wireToolsPanel();
    void wireMediaLibrary();
    void wireCapture();
    void wireAnnotation();
    void wireWidgetModeBar();
    void wirePipView();
    void wireRecording();
    void wireRecordingIndicator();
    void wireScreens();
    void wireSettingDialog();
    void wirePresenter();
    void wireVideo();
    void applyFirstLaunchRule();

    // Display modes.
    void enterSplitMode(int mode);
    void applyMode();
    void layoutViews();
    void placeControlWidgets();
    QRect displayArea() const;
    void showImageFile(const QString &path);
    /// Back to the mode before the picture, with nothing shown: the user was told why.
    void leaveUnreadableImage();
    void leaveFullScreen();
    /// Enters full display `mode` (7 picture, 8 video), remembering the mode to return to.
    void enterFullDisplay(int mode);
    /// Back from full display `mode` to the mode it came from, with nothing shown.
    void leaveFullDisplay(int mode);
    /// Only the shown media and its bar on the whole screen, or the window back as it was.
    void applyFullScreen(bool fullScreen);
    /// Puts a media bar at the bottom middle of `area`.
    void placeMediaBar(QWidget *bar, const QRect &area);

    // Video.
    void playVideoFile(const QString &path);
    /// Back to the mode before the video, with nothing shown: it could not be played.
    void leaveUnplayableVideo();
    /// Stops the video shown, if any, and hides it; the library may change its file again.
    void stopShownVideo();
    void videoStartPauseRequested(bool play);

    // Presenter masks.
    /// Remembers the panels and moves them out of the way of the mask about to be shown.
    void enterPresenterMode();
    /// Puts both masks over the central area, where the window is now.
    void placeMasks();

    // Annotation.
    void activateCanvasForMode();
    void applyCameraTransformToCanvas();

    // Recording indicator.
    void clearRecordingIndicator();
    void showRecordingPaused(bool paused);
    /// Hands the files of a finished recording on to whoever lists the media.
    void announceRecording(const QList<QString> &files);

    bool dropAccepted(const QMimeData *mime, const QPoint &pos) const;
    /// Answers the exit questions in order; true when the window may close.
    bool askExitQueries();

    std::unique_ptr<Ui::Velora> ui;
    ImageWidget *imageView = nullptr;
    SettingIntf *settings = nullptr;
    MediaInfoStore *mediaInfo = nullptr;
    MediaLibraryIntf *mediaLibrary = nullptr;
    KivoscopeIntf *kivoscope = nullptr;
    WebCamIntf *webCam = nullptr;
    CaptureIntf *capture = nullptr;
    RecordingIntf *recording = nullptr;
    SleepWatcher *sleepWatcher = nullptr;
    SettingDialog *settingDialog = nullptr;
    AnnotationIntf *annotation = nullptr;
    // Children of the camera view and of the full-display image view.
    CanvasView *docCamCanvas = nullptr;
    CanvasView *imageCanvas = nullptr;
    double visionZoom = 1.0;
    uint visionRotation = 0;
    bool visionMirrored = false;
    ToolsPanel *toolsPanel = nullptr;
    GradeCamHandOver *gradeCam = nullptr;
    int splitMode = 0;
    int previousSplitMode = 0;
    int mediaDisplayKind = NothingShown;
    int mainSourceValue = DocCamSource;
    PipView *pipView = nullptr;
    QRect pipGeometry;
    std::unique_ptr<WidgetModeToolBar> widgetModeToolBar;
    bool inWidgetMode = false;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    QAction *counterAction = nullptr;
    QAction *stopRecordAction = nullptr;
    QAction *pauseAction = nullptr;
    QAction *muteAction = nullptr;
    std::unique_ptr<RecordingControlBar> controlBar;
    QPointer<RecordingStarter> starter;
    int recordingSeconds = 0;
    uint recordingStatus = 0;
    // The component's status does not tell paused from running; the window knows what it asked.
    bool recordingPaused = false;
    QTimer recordingTimer;
    bool exitConfirmed = false;
    bool imageFullScreen = false;
    bool videoFullScreen = false;
    bool mediaLibStatus = false;
    bool toolsPanelStatus = false;
    VisorIntf *visor = nullptr;
    SpotlightIntf *spotlight = nullptr;
    VideoIntf *video = nullptr;
    VideoControlPanel *videoControlPanel = nullptr;
    bool presenterMode = false;
    bool mediaLibStatusBeforePresenter = false;
    bool toolsPanelStatusBeforePresenter = false;
    ImageControlPanel *imageControlPanel = nullptr;
    ImageWidget *secondImageView = nullptr;
    // The picture the media area shows while mediaDisplayKind is ImageShown.
    QString shownImagePath;

    QPushButton *toolsHandle = nullptr;
    QPushButton *mediaLibHandle = nullptr;
    std::unique_ptr<PanelSlider> toolsSlider;
    std::unique_ptr<PanelSlider> mediaLibSlider;
    QPointer<QWidget> mediaLibPanel;
    std::vector<ExitQuery> exitQueries;
};

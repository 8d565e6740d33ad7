#pragma once

#include <SharedComponent.h>
#include <VolumeController.h>

#include <QDialog>
#include <QList>
#include <QMetaObject>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;
class QToolButton;
class RecordingIntf;
class SettingIntf;
class WebCamIntf;

/// The "Settings" dialog: the recording microphone with its live level and volume, the
/// recording resolution, the media folder, the webcam the split layouts show (with a live
/// preview), and the web-service logins.
///
/// The main window creates it once and shows it modally again and again; each showing starts
/// from the stored values. The microphone and its volume take effect at once, so that the
/// presenter hears what they chose; Cancel puts both back. Everything else is stored by Save.
/// The components given must outlive the dialog.
class SettingDialog : public QDialog
{
    Q_OBJECT

public:
    SettingDialog(RecordingIntf *recording, WebCamIntf *webCam, QWidget *parent = nullptr);
    ~SettingDialog() override;

    static constexpr int MaxFolderPathLength = 200;

    QComboBox *microphoneSelector() const { return micSelector; }
    QSlider *microphoneVolume() const { return micVolSlider; }
    QSlider *microphoneLevel() const { return micVolReporter; }
    QSlider *speakerVolume() const { return speakerVolSlider; }
    QComboBox *resolutionSelector() const { return videoResolutionSelector; }
    QLineEdit *saveFolder() const { return videoSaveDir; }
    QComboBox *webCamSelector() const { return webCamBox; }
    QWidget *webCamPreviewArea() const { return webCamWidget; }
    QTabWidget *tabs() const { return tabWidget; }

public Q_SLOTS:
    void getMicSrcListChanged(QList<QString> list);
    void getMicVolChanged(int vol);
    void selectMicSrcByUI(QString srcName);
    void selectWebCamSrcByUI(int index);
    void getSpeakerVolChanged(int vol);
    void cancel();
    void save();
    void validate();
    void getWebCamListDidChanged(QList<QString> webCamList);
    void fitAuxWebCamWidget();
    void openFileDialog();
    void micVolReport(uint vol);
    void changeUIWithRecordingStatus(uint status);
    /// Escape and the window's close button cancel, as the Cancel button does.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildVideoTab();
    QWidget *buildWebCamTab();
    QWidget *buildSiteLoginTab();
    /// Starts a showing from the stored values.
    void prepareShowing();
    /// Drops what only an open dialog listens to, and the microphone's level.
    void endShowing();
    void fillMicSelector();
    void openAudioSide();
    void closeAudioSide();
    void showSavePath(const QString &path);
    /// The stored microphone with `volume`, the resolution and the folder.
    void showStoredValues(uint volume);
    void showStoredQuality();
    QString startFolder() const;

    RecordingIntf *recording;
    WebCamIntf *webCam;
    ComponentRef<SettingIntf> settings;
    // The output volume the speaker slider sets.
    ComponentRef<VolumeController> speaker;
    QList<QString> micList;
    QList<QString> webCamList;
    // The webcam chosen for the preview, which Save makes the main one.
    int previewIndex = -1;
    // What Cancel puts back.
    QString savedAudioSource;
    uint savedVolume = 0;
    bool audioOpen = false;
    QList<QMetaObject::Connection> whileOpen;

    QTabWidget *tabWidget = nullptr;
    QComboBox *micSelector = nullptr;
    QSlider *micVolSlider = nullptr;
    QSlider *micVolReporter = nullptr;
    QSlider *speakerVolSlider = nullptr;
    QComboBox *videoResolutionSelector = nullptr;
    QLineEdit *videoSaveDir = nullptr;
    QToolButton *fileDialogBtn = nullptr;
    QComboBox *webCamBox = nullptr;
    QWidget *webCamWidget = nullptr;
    QPushButton *validateBtn = nullptr;
    QPushButton *saveBtn = nullptr;
    QPushButton *cancelBtn = nullptr;
};

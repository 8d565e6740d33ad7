#include "SettingDialog.h"

#include <CameraWidget.h>
#include <FileDialog.h>
#include <LogModule.h>
#include <MessageBox.h>
#include <RecordingIntf.h>
#include <RecordingStatus.h>
#include <SettingIntf.h>
#include <WebCamIntf.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QStandardPaths>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const LogModule settingLog("velora/settings");

constexpr int SiteLoginTab = 2;

QLabel *iconLabel(const QString &path, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QIcon(path).pixmap(20, 20));
    return label;
}

/// Shows `value` without passing it on as the presenter's change.
void setQuietly(QSlider *slider, int value)
{
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
}

QSlider *percentSlider(const QString &name, QWidget *parent)
{
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(0, 100);
    return slider;
}

} // namespace

SettingDialog::SettingDialog(RecordingIntf *recording, WebCamIntf *webCam, QWidget *parent)
    : QDialog(parent)
    , recording(recording)
    , webCam(webCam)
{
    setObjectName(QStringLiteral("SettingDialog"));
    setWindowTitle(tr("Settings"));
    setModal(true);

    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->addTab(buildVideoTab(), tr("Video"));
    tabWidget->addTab(buildWebCamTab(), tr("Webcam"));
    tabWidget->addTab(buildSiteLoginTab(), tr("Site login"));
    // Built, but there is no web-service account to log into yet.
    tabWidget->setTabVisible(SiteLoginTab, false);
    tabWidget->setCurrentIndex(0);

    auto *buttons = new QDialogButtonBox(this);
    saveBtn = buttons->addButton(tr("Save"), QDialogButtonBox::AcceptRole);
    saveBtn->setObjectName(QStringLiteral("saveBtn"));
    saveBtn->setDefault(true);
    cancelBtn = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabWidget);
    layout->addWidget(buttons);

    // A teacher who never chose a microphone has the first one chosen for them.
    micList = recording->getAudioSources();
    if (settings->getAudioSource().isEmpty() && !micList.isEmpty())
        settings->setAudioSource(micList.first());
    savedAudioSource = settings->getAudioSource();
    fillMicSelector();

    connect(recording, &RecordingIntf::audioSourcesChanged, this,
            &SettingDialog::getMicSrcListChanged);
    connect(recording, &RecordingIntf::audioLevelReported, this, &SettingDialog::micVolReport);
    connect(micVolSlider, &QSlider::valueChanged, this, &SettingDialog::getMicVolChanged);
    connect(speakerVolSlider, &QSlider::valueChanged, this, &SettingDialog::getSpeakerVolChanged);
    connect(webCamBox, &QComboBox::activated, this, &SettingDialog::selectWebCamSrcByUI);
    connect(saveBtn, &QPushButton::clicked, this, &SettingDialog::save);
    connect(cancelBtn, &QPushButton::clicked, this, &SettingDialog::cancel);
    connect(validateBtn, &QPushButton::clicked, this, &SettingDialog::validate);
    connect(fileDialogBtn, &QToolButton::clicked, this, &SettingDialog::openFileDialog);
}

SettingDialog::~SettingDialog()
{
    if (isVisible())
        endShowing();
}

QWidget *SettingDialog::buildVideoTab()
{
    auto *tab = new QWidget(this);
    auto *layout = new QVBoxLayout(tab);

    layout->addWidget(new QLabel(tr("Microphone"), tab));
    micSelector = new QComboBox(tab);
    micSelector->setObjectName(QStringLiteral("micSelector"));
    layout->addWidget(micSelector);

    layout->addWidget(new QLabel(tr("Volume"), tab));
    auto *volumeRow = new QHBoxLayout;
    micVolSlider = percentSlider(QStringLiteral("micVolSlider"), tab);
    volumeRow->addWidget(iconLabel(QStringLiteral(":/Image/pics/audio_mute.png"), tab));
    volumeRow->addWidget(micVolSlider, 1);
    volumeRow->addWidget(iconLabel(QStringLiteral(":/Image/pics/audio.png"), tab));
    layout->addLayout(volumeRow);
    // A level bar, not a control: it only follows the microphone.
    micVolReporter = percentSlider(QStringLiteral("micVolReporter"), tab);
    micVolReporter->setEnabled(false);
    micVolReporter->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(micVolReporter);

    layout->addWidget(new QLabel(tr("Speaker"), tab));
    speakerVolSlider = percentSlider(QStringLiteral("speakerVolSlider"), tab);
    layout->addWidget(speakerVolSlider);

    layout->addWidget(new QLabel(tr(" Default Recording Resolution:"), tab));
    videoResolutionSelector = new QComboBox(tab);
    videoResolutionSelector->setObjectName(QStringLiteral("videoResolutionSelector"));
    // Each item carries the stored value: 2 records 1024 pixels wide, 1 800 and 0 640, so the
    // highest quality is the widest picture.
    videoResolutionSelector->addItem(tr("High Quality"), 2);
    videoResolutionSelector->addItem(tr("Medium Quality"), 1);
    videoResolutionSelector->addItem(tr("Low Quality"), 0);
    layout->addWidget(videoResolutionSelector);

    layout->addWidget(new QLabel(tr(" Default Save Directory:"), tab));
    auto *folderRow = new QHBoxLayout;
    videoSaveDir = new QLineEdit(tab);
    videoSaveDir->setObjectName(QStringLiteral("videoSaveDir"));
    // Chosen through the folder dialog, which checks that the folder can be written.
    videoSaveDir->setReadOnly(true);
    fileDialogBtn = new QToolButton(tab);
    fileDialogBtn->setObjectName(QStringLiteral("fileDialogBtn"));
    fileDialogBtn->setText(QStringLiteral("..."));
    folderRow->addWidget(videoSaveDir, 1);
    folderRow->addWidget(fileDialogBtn);
    layout->addLayout(folderRow);
    layout->addStretch(1);
    return tab;
}

QWidget *SettingDialog::buildWebCamTab()
{
    auto *tab = new QWidget(this);
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(new QLabel(tr("Webcam"), tab));
    webCamBox = new QComboBox(tab);
    webCamBox->setObjectName(QStringLiteral("webCamSelector"));
    layout->addWidget(webCamBox);
    webCamWidget = new QWidget(tab);
    webCamWidget->setObjectName(QStringLiteral("webCamWidget"));
    webCamWidget->setMinimumSize(320, 240);
    webCamWidget->setAutoFillBackground(true);
    QPalette black = webCamWidget->palette();
    black.setColor(QPalette::Window, Qt::black);
    webCamWidget->setPalette(black);
    webCamWidget->installEventFilter(this);
    layout->addWidget(webCamWidget, 1);
    return tab;
}

QWidget *SettingDialog::buildSiteLoginTab()
{
    auto *tab = new QWidget(this);
    auto *grid = new QGridLayout(tab);
    grid->addWidget(new QLabel(tr("User name"), tab), 0, 1);
    grid->addWidget(new QLabel(tr("Password"), tab), 0, 2);
    const struct
    {
        const char *service;
        const char *icon;
    } rows[] = {{"youtube", "site_youtube.png"},
                {"dropbox", "site_dropbox.png"},
                {"twitter", "site_twitter.png"},
                {"facebook", "site_facebook.png"},
                {"picasa", "site_picasa.png"}};
    int row = 1;
    for (const auto &service : rows) {
        auto *user = new QLineEdit(tab);
        user->setObjectName(QLatin1String(service.service) + QStringLiteral("User"));
        auto *password = new QLineEdit(tab);
        password->setObjectName(QLatin1String(service.service) + QStringLiteral("Pswd"));
        password->setEchoMode(QLineEdit::Password);
        grid->addWidget(
                iconLabel(QStringLiteral(":/Image/pics/") + QLatin1String(service.icon), tab), row,
                0);
        grid->addWidget(user, row, 1);
        grid->addWidget(password, row, 2);
        ++row;
    }
    // The service logs in through the browser; its password field is never asked for.
    auto *dropboxPassword = tab->findChild<QLineEdit *>(QStringLiteral("dropboxPswd"));
    dropboxPassword->setText(QStringLiteral("password"));
    dropboxPassword->setEnabled(false);
    dropboxPassword->hide();
    validateBtn = new QPushButton(tr("Validate"), tab);
    validateBtn->setObjectName(QStringLiteral("validateBtn"));
    grid->addWidget(validateBtn, row, 2);
    return tab;
}

void SettingDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Coming back from a minimized desktop is not a new showing.
    if (!event->spontaneous())
        prepareShowing();
}

bool SettingDialog::eventFilter(QObject *watched, QEvent *event)
{
    // The area gets its size only when its tab is first shown.
    if (watched == webCamWidget && event->type() == QEvent::Resize)
        fitAuxWebCamWidget();
    return QDialog::eventFilter(watched, event);
}

void SettingDialog::prepareShowing()
{
    savedAudioSource = settings->getAudioSource();
    savedVolume = recording->getVolume();
    micList = recording->getAudioSources();
    showStoredValues(savedVolume);
    setQuietly(speakerVolSlider,
               int(qint64(speaker->volume(VolumeController::DefaultOutput)) * 100 / 65535));
    micVolReporter->setValue(0);
    openAudioSide();

    whileOpen = {
            connect(micSelector, &QComboBox::textActivated, this, &SettingDialog::selectMicSrcByUI),
            connect(webCam, &WebCamIntf::webCamListChanged, this,
                    &SettingDialog::getWebCamListDidChanged),
            connect(webCam, &WebCamIntf::currentAuxWebCamDisconnected, this,
                    &SettingDialog::fitAuxWebCamWidget),
            connect(recording, &RecordingIntf::actionStatusChanged, this,
                    &SettingDialog::changeUIWithRecordingStatus),
    };
    changeUIWithRecordingStatus(recording->getActionStatus());

    // The preview starts on the webcam the layouts show, or would show.
    previewIndex = -1;
    webCam->createAuxView(webCamWidget)->show();
    getWebCamListDidChanged(webCam->cameraNames());
    selectWebCamSrcByUI(qMax(webCam->mainCameraIndex(), 0));
}

void SettingDialog::endShowing()
{
    for (const QMetaObject::Connection &connection : std::as_const(whileOpen))
        disconnect(connection);
    whileOpen.clear();
    closeAudioSide();
    webCam->closeAuxCamera();
}

void SettingDialog::openAudioSide()
{
    if (audioOpen)
        return;
    audioOpen = true;
    // Without an input the level bar just stays at 0.
    recording->init();
}

void SettingDialog::closeAudioSide()
{
    if (!audioOpen)
        return;
    audioOpen = false;
    recording->uninit();
}

void SettingDialog::fillMicSelector()
{
    const QSignalBlocker quiet(micSelector);
    micSelector->clear();
    if (micList.isEmpty()) {
        micSelector->addItem(tr("No Microphone Connection"));
        micSelector->setEnabled(false);
        return;
    }
    micSelector->addItems(micList);
    micSelector->setEnabled(recording->getActionStatus() & RecordingStatus::MayStart);
    const int stored = micList.indexOf(settings->getAudioSource());
    micSelector->setCurrentIndex(qMax(stored, 0));
}

void SettingDialog::getMicSrcListChanged(QList<QString> list)
{
    micList = list;
    fillMicSelector();
}

void SettingDialog::getMicVolChanged(int vol)
{
    recording->setVolume(uint(qMax(vol, 0)));
}

void SettingDialog::selectMicSrcByUI(QString srcName)
{
    closeAudioSide();
    settings->setAudioSource(srcName);
    setQuietly(micVolSlider, int(recording->getVolume()));
    micVolReporter->setValue(0);
    openAudioSide();
}

void SettingDialog::micVolReport(uint vol)
{
    micVolReporter->setValue(int(qMin(vol, 100u)));
}

void SettingDialog::changeUIWithRecordingStatus(uint status)
{
    // The input cannot change under a running recording.
    const bool idle = status & RecordingStatus::MayStart;
    micVolSlider->setEnabled(idle);
    if (idle)
        fillMicSelector();
    else
        micSelector->setEnabled(false);
}

void SettingDialog::getSpeakerVolChanged(int vol)
{
    speaker->setVolume(VolumeController::DefaultOutput, quint32(qBound(0, vol, 100)) * 65535 / 100);
}

void SettingDialog::getWebCamListDidChanged(QList<QString> list)
{
    webCamList = list;
    const QSignalBlocker quiet(webCamBox);
    webCamBox->clear();
    if (list.isEmpty()) {
        webCamBox->addItem(tr("No Webcam Connection"));
        webCamBox->setEnabled(false);
        return;
    }
    webCamBox->setEnabled(true);
    webCamBox->addItems(list);
    const int shown
            = webCam->auxCameraIndex() >= 0 ? webCam->auxCameraIndex() : webCam->mainCameraIndex();
    webCamBox->setCurrentIndex(qMax(shown, 0));
}

void SettingDialog::selectWebCamSrcByUI(int index)
{
    if (!webCam->auxView() || index < 0 || index >= webCamList.size())
        return;
    previewIndex = index;
    const ResultCode result = webCam->selectAuxCamera(index);
    if (result != Result::Success)
        settingLog.log(4, "SettingDialog::selectWebCamSrcByUI - Webcam %d cannot be previewed: %d",
                       index, int(result));
    fitAuxWebCamWidget();
}

void SettingDialog::fitAuxWebCamWidget()
{
    CameraWidget *preview = webCam->auxView();
    if (!preview)
        return;
    // The picture at its own shape, as large as the black area allows, in its middle.
    const QSize picture = preview->frame().size();
    QSize size = webCamWidget->size();
    if (!picture.isEmpty())
        size = picture.scaled(size, Qt::KeepAspectRatio);
    QRect area(QPoint(), size);
    area.moveCenter(webCamWidget->rect().center());
    preview->setGeometry(area);
}

void SettingDialog::openFileDialog()
{
    FileDialog::Request request;
    request.parent = this;
    request.caption = tr("Default Save Directory");
    request.startFolder = startFolder();
    request.options = QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks;
    const QString chosen = FileDialog::getExistingDirectory(request);
    if (chosen.isEmpty())
        return;
    if (chosen.size() >= MaxFolderPathLength) {
        MessageBox::warning(this, tr("Error"), tr("Length of file path is over limitation"));
        return;
    }
    // Writing a file is the only sure test: permissions, read-only mounts and full quotas all
    // show there.
    const QDir folder(chosen);
    QString testName;
    for (int n = 0; testName.isEmpty() || folder.exists(testName); ++n)
        testName = QStringLiteral("ttt_ttt_test%1").arg(n);
    QFile test(folder.filePath(testName));
    if (!test.open(QIODevice::ReadWrite)) {
        MessageBox::warning(this, tr("Error"), tr("Destination folder is write protected"));
        return;
    }
    test.close();
    test.remove();
    showSavePath(folder.absolutePath());
}

QString SettingDialog::startFolder() const
{
    const QString stored = settings->getSavePath();
    if (QFileInfo(stored).isReadable())
        return stored;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QStringLiteral("/Velora/Media Library/");
}

void SettingDialog::showStoredValues(uint volume)
{
    fillMicSelector();
    setQuietly(micVolSlider, int(volume));
    showStoredQuality();
    showSavePath(settings->getSavePath());
}

void SettingDialog::showStoredQuality()
{
    // A value from elsewhere (the screen's own width) shows as the highest quality.
    const int stored = videoResolutionSelector->findData(settings->getVideoQuality());
    videoResolutionSelector->setCurrentIndex(qMax(stored, 0));
}

void SettingDialog::showSavePath(const QString &path)
{
    QString shown = path;
    if (!shown.endsWith(QLatin1Char('/')))
        shown += QLatin1Char('/');
    videoSaveDir->setText(QDir::toNativeSeparators(shown));
}

void SettingDialog::validate()
{
    // Accounts are checked by the web services' own component, which this build does not have;
    // the tab that offers this stays hidden until it does.
    settingLog.log(5, "SettingDialog::validate - No web-service accounts to validate");
}

void SettingDialog::save()
{
    settings->setSavePath(QDir::fromNativeSeparators(videoSaveDir->text()));
    closeAudioSide();
    savedAudioSource = settings->getAudioSource();
    savedVolume = recording->getVolume();
    // The preview lets its camera go first: a webcam opens for one user at a time. The choice
    // counts even if the preview has not opened yet (cameras open in the background).
    endShowing();
    if (previewIndex >= 0 && previewIndex != webCam->mainCameraIndex())
        webCam->selectMainCamera(previewIndex);
    settings->setVideoQuality(videoResolutionSelector->currentData().toInt());
    QDialog::accept();
}

void SettingDialog::cancel()
{
    // Only what changed is put back: rewriting an untouched volume would round it to a percent.
    if (settings->getAudioSource() != savedAudioSource)
        settings->setAudioSource(savedAudioSource);
    if (recording->getVolume() != savedVolume)
        recording->setVolume(savedVolume);
    endShowing();
    showStoredValues(savedVolume);
    QDialog::reject();
}

void SettingDialog::reject()
{
    cancel();
}

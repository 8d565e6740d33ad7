#include "CaptureImpl.h"
#include "JpegWriter.h"

#include <CameraWidget.h>
#include <KivoSystem.h>
#include <KivoscopeIntf.h>
#include <LogModule.h>
#include <LongTimers.h>
#include <MessageBox.h>
#include <ScreenGrabber.h>
#include <SettingImpl.h>
#include <SettingIntf.h>
#include <ThreadHandOver.h>

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

const LogModule captureLog("velora/capture");

using Lock = std::lock_guard<std::recursive_mutex>;

const QString TimeFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(TimeFormat);
}

/// The folder part of `path`, up to and including its last "/".
QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

/// Flags that keep this component's boxes above whatever the presenter is looking at: a tool
/// window with only a close button, on top when the active window is (the widget-mode bar).
Qt::WindowFlags boxFlags()
{
    Qt::WindowFlags flags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    if (const QWidget *active = QApplication::activeWindow();
        active && active->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

QMessageBox::StandardButton showBox(QMessageBox::Icon icon, const QString &title,
                                    const QString &text, const QString &informativeText,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton, bool richText)
{
    // A fresh hidden parent: the box must not depend on a window that may go away under it.
    QWidget parent;
    MessageBox::Question question;
    question.icon = icon;
    question.title = title;
    question.text = text;
    question.informativeText = informativeText;
    question.buttons = buttons;
    question.defaultButton = defaultButton;
    question.parent = &parent;
    question.richText = richText;
    question.windowFlags = boxFlags();
    return MessageBox::ask(question);
}

void warn(const QString &text, const QString &informativeText)
{
    showBox(QMessageBox::Warning, QStringLiteral("Warning"), text, informativeText, QMessageBox::Ok,
            QMessageBox::Ok, false);
}

} // namespace

CaptureIntf *CaptureIntf::getInstance()
{
    return CaptureImpl::getInstance();
}

CaptureImpl::CaptureImpl()
{
    // The sound is played from a file; the copy lives in the user's own runtime folder so that
    // two users of one machine never share it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    soundPath = folder + QStringLiteral("/veloraCaptureSound.wav");
    if (!QFileInfo::exists(soundPath)
        && !QFile::copy(QStringLiteral(":/Sounds/sounds/capture.wav"), soundPath))
        captureLog.log(4, "CaptureImpl::CaptureImpl - The shutter sound cannot be written to %s",
                       qPrintable(soundPath));

    settings = SettingIntf::getInstance();
    kivoscope = KivoscopeIntf::getInstance();
    if (kivoscope->isConnected())
        actionStatus |= CaptureStatus::DocCamCapture | CaptureStatus::TimeLapseButton;

    connect(kivoscope, &KivoscopeIntf::docCamConnected, this, &CaptureImpl::docCamConnected);
    connect(kivoscope, &KivoscopeIntf::docCamDisconnected, this, &CaptureImpl::docCamDisconnected);
    connect(kivoscope, &KivoscopeIntf::hqImageCaptured, this, &CaptureImpl::hqImageCaptured);
    connect(kivoscope, &KivoscopeIntf::hqImageCaptureAborted, this,
            &CaptureImpl::hqImageCaptureAborted);
    connect(kivoscope, &KivoscopeIntf::freezeStatusChanged, this,
            &CaptureImpl::docCamFreezeChanged);
    connect(&shotTimer, &QTimer::timeout, this, &CaptureImpl::timeLapseShot);
    dirWatchTimer.setInterval(FolderWatchInterval);
    connect(&dirWatchTimer, &QTimer::timeout, this, &CaptureImpl::checkDirExist);
    stillWriter.setMaxThreadCount(1);
    stillWriter.setObjectName(QStringLiteral("velora-still"));
}

CaptureImpl::~CaptureImpl()
{
    // A still on its way to disk is finished; its report back is dropped with this object.
    stillWriter.waitForDone();
    shutter.reset();
    QFile::remove(soundPath);
    stopTimers();
    disconnect(kivoscope, nullptr, this, nullptr);
    disconnect(&shotTimer, nullptr, this, nullptr);
    kivoscope->release();
    settings->release();
}

void CaptureImpl::release()
{
    releaseShared();
}

uint CaptureImpl::getActionStatus()
{
    Lock lock(componentMutex());
    return actionStatus;
}

void CaptureImpl::setActionStatus(uint status)
{
    actionStatus = status;
    Q_EMIT actionStatusChanged(actionStatus);
}

uint CaptureImpl::idleStatus() const
{
    return kivoscope->isConnected() && !frozen ? CaptureStatus::Idle : CaptureStatus::DesktopOnly;
}

void CaptureImpl::stopTimers()
{
    shotTimer.stop();
    dirWatchTimer.stop();
}

bool CaptureImpl::getSaveDirPath(QString &dir)
{
    dir = settings->getSavePath();
    if (!QDir(dir).exists() && !QDir().mkpath(dir)) {
        captureLog.log(5,
                       QStringLiteral("CaptureImpl::_getSaveDirPath() - Dir %1 can't not be "
                                      "created")
                               .arg(dir));
        dir = SettingImpl::defaultSavePath();
        settings->setSavePath(dir);
    }
    if (!QDir(dir).exists())
        QDir().mkpath(dir);
    return QDir(dir).exists();
}

bool CaptureImpl::checkSaveFolder(const QString &path)
{
    const QString dir = folderOf(path);
    const QFileInfo folder(dir);
    if (!folder.isDir())
        return false;
    if (!folder.isWritable()) {
        stopTimers();
        captureLog.log(2, "CaptureImpl::checkSaveFolder - Permission Denied");
        warn(QStringLiteral("Permission Denied! You do not have access to the directory."),
             QStringLiteral("You do not have permission to write to %1.")
                     .arg(QDir::toNativeSeparators(dir)));
        return false;
    }
    if (KivoSystem::freeSpace(dir) <= MinimumFreeSpace) {
        stopTimers();
        captureLog.log(2, "CaptureImpl::checkSaveFolder - Not enough disk space!");
        warn(QStringLiteral("Not enough disk space!"),
             QStringLiteral("Captured image cannot be saved."));
        return false;
    }
    return true;
}

bool CaptureImpl::saveImageToPath(const QImage &image, const QString &path)
{
    return checkSaveFolder(path) && writePicture(image, path);
}

bool CaptureImpl::writePicture(const QImage &image, const QString &path)
{
    QString failure;
    if (JpegWriter::write(image, path, JpegQuality, &failure))
        return true;
    // As with a full disk: a running series ends at this picture, and no shot comes while the
    // box is up. Stills written on the writer thread never stop a series.
    stopTimers();
    reportWriteFailure(path, failure);
    return false;
}

void CaptureImpl::reportWriteFailure(const QString &path, const QString &reason)
{
    warn(QStringLiteral("The captured image could not be saved."),
         QStringLiteral("Writing %1 failed: %2.").arg(QDir::toNativeSeparators(path), reason));
}

QString CaptureImpl::freeBaseName(const QString &dir) const
{
    auto taken = [this, &dir](const QString &base) {
        const QString path = dir + base + QStringLiteral(".jpg");
        return QFileInfo::exists(path)
                || std::any_of(stillWrites.begin(), stillWrites.end(),
                               [&path](const auto &write) { return write.second.path == path; });
    };
    // Two pictures within one second: the later one is numbered rather than replacing the first.
    const QString stamp = QStringLiteral("Velora-") + timeStamp();
    QString base = stamp;
    for (int n = 2; taken(base); ++n)
        base = QStringLiteral("%1 (%2)").arg(stamp).arg(n);
    return base;
}

QString CaptureImpl::captureCurrentFrame(const QString &dir, const QString &baseName,
                                         bool *cameraGone)
{
    QImage frame;
    const ResultCode grabbed = kivoscope->grabCurrentFrame(frame);
    if (cameraGone)
        *cameraGone = grabbed == Result::NoDevice;
    if (frame.isNull()) {
        captureLog.log(2, "CaptureImpl::captureCurrentFrame() - No image");
        return {};
    }
    const QString path = dir + baseName + QStringLiteral(".jpg");
    return saveImageToPath(frame, path) ? path : QString();
}

void CaptureImpl::playShutterSound()
{
    if (!shutter) {
        shutter = std::make_unique<QSoundEffect>();
        shutter->setSource(QUrl::fromLocalFile(soundPath));
    }
    shutter->play();
}

QImage CaptureImpl::grabDesktop()
{
    if (ScreenGrabber::portalChosen()) {
        // Qt's own grab sees only X windows under XWayland; the portal's picture is the desktop.
        QString error = QStringLiteral("The desktop's screen sharing sends no picture.");
        const std::unique_ptr<ScreenGrabber> grabber = ScreenGrabber::create(QRect(), &error);
        DesktopPicture picture;
        if (grabber && grabber->grab(picture))
            return QImage(picture.pixels, picture.width, picture.height, picture.bytesPerLine,
                          QImage::Format_RGB32)
                    .copy();
        MessageBox::warning(nullptr, QStringLiteral("Warning"), error);
        return {};
    }
    QRect desktop;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (const QScreen *screen : screens)
        desktop |= screen->geometry();
    QImage picture(desktop.size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    for (QScreen *screen : screens) {
        const QRect area = screen->geometry().translated(-desktop.topLeft());
        painter.drawPixmap(area, screen->grabWindow(0));
    }
    return picture;
}

ResultCode CaptureImpl::captureScreen(QString *fullPath)
{
    Lock lock(componentMutex());
    if (!fullPath)
        return Result::InvalidArgument;
    if (timeLapseRunning) {
        captureLog.log(5, "CaptureImpl::captureScreen() - Time Lapse");
        return CaptureResult::TimeLapseRunning;
    }
    QString dir;
    if (!getSaveDirPath(dir)) {
        captureLog.log(2, "CaptureImpl::captureScreen() - No directory to save");
        return Result::Failure;
    }
    const QString path = dir + freeBaseName(dir) + QStringLiteral(".jpg");
    *fullPath = path;
    const QImage desktop = grabDesktop();
    if (desktop.isNull())
        return Result::Failure;
    if (!saveImageToPath(desktop, path)) {
        captureLog.log(2, "CaptureImpl::captureScreen() - Save failed");
        return Result::Failure;
    }
    captureLog.log(7, "CaptureImpl::captureScreen() - Capture succeed, path : %s",
                   qPrintable(path));
    Q_EMIT fullScreenImageCaptured(path);
    playShutterSound();
    return Result::Success;
}

ResultCode CaptureImpl::captureVision(QString *fullPath)
{
    Lock lock(componentMutex());
    if (!fullPath)
        return Result::InvalidArgument;
    if (!kivoscope->isConnected()) {
        captureLog.log(2, "CaptureImpl::captureVision() - No doc cam");
        return Result::NoDevice;
    }
    if (timeLapseRunning)
        return CaptureResult::TimeLapseRunning;

    QString saved;
    hqOutstanding = true;
    hqNotSaved = false;
    hqResultPath.clear();
    if (kivoscope->requestHQImage() >= 0) {
        const uint remembered = actionStatus;
        setActionStatus(CaptureStatus::Busy);
        waitForHighQualityStill();
        setActionStatus(kivoscope->isConnected() ? remembered : CaptureStatus::DesktopOnly);
        saved = hqResultPath;
        // The wait ended without the still (its dialog was closed from elsewhere): the live
        // frame stands in, and the still, should it come after all or be on its way to disk,
        // is not wanted twice.
        hqAbandoned = hqOutstanding;
        for (auto &write : stillWrites) {
            if (write.second.use == StillUse::Awaited)
                write.second.use = StillUse::Unwanted;
        }
    }
    hqOutstanding = false;
    // The presenter has been told why the still was not saved; the live frame would go to the
    // same folder and fail again, with a second box for one click.
    if (std::exchange(hqNotSaved, false))
        return Result::Failure;

    if (kivoscope->isConnected() && saved.isEmpty()) {
        captureLog.log(5, "CaptureImpl::captureVision() - Can't do hq capture");
        QString dir;
        if (!getSaveDirPath(dir)) {
            captureLog.log(2, "CaptureImpl::captureVision() - No directory to save");
            return Result::Failure;
        }
        saved = captureCurrentFrame(dir, freeBaseName(dir));
        if (saved.isEmpty())
            return Result::NoDevice;
        playShutterSound();
    }
    if (saved.isEmpty())
        return Result::NoDevice;
    *fullPath = saved;
    Q_EMIT docCamImageCaptured(saved);
    return Result::Success;
}

void CaptureImpl::waitForHighQualityStill()
{
    // The still may have been delivered (or refused) while it was being asked for.
    if (!hqOutstanding && !awaitedStillBeingWritten())
        return;
    // Centred over the live picture, but owned by its window: the view itself may be hidden
    // or moved by a change of layout meanwhile, which must not end the wait.
    QWidget *over = kivoscope->view();
    if (!over || !over->isVisible() || over->mapToGlobal(QPoint(0, 0)).x() < 0
        || over->mapToGlobal(QPoint(0, 0)).y() < 0)
        over = QApplication::activeWindow();
    QWidget *parent = over ? over->window() : nullptr;

    auto *dialog
            = new QDialog(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    dialog->setObjectName(QStringLiteral("capturingDialog"));
    auto *layout = new QVBoxLayout(dialog);
    auto *busy = new QProgressBar(dialog);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    layout->addWidget(busy);
    layout->addWidget(new QLabel(tr("Capturing..."), dialog), 0, Qt::AlignHCenter);
    dialog->setFixedSize(dialog->sizeHint());
    if (over) {
        const QPoint centre = over->mapToGlobal(over->rect().center());
        dialog->move(centre - dialog->rect().center());
    }
    capturingDialog = dialog;
    dialog->exec();
    delete dialog;
}

void CaptureImpl::hqImageCaptured(QImage hqImage)
{
    Lock lock(componentMutex());
    if (hqAbandoned) {
        hqAbandoned = false;
        captureLog.log(4, "CaptureImpl::hqImageCaptured() - A still given up on came late");
        return;
    }
    // A still nobody here asked for (the camera's own button) is announced like any other.
    const StillUse use = hqOutstanding ? StillUse::Awaited : StillUse::Announced;
    // Arrived: a still the camera sends next is not taken for this one.
    hqOutstanding = false;
    QString dir;
    if (!getSaveDirPath(dir)) {
        captureLog.log(2, "CaptureImpl::hqImageCaptured() - No directory to save");
    } else {
        const QString path = dir + freeBaseName(dir) + QStringLiteral(".jpg");
        // The questions come first, here; only the encoding and the writing go to the writer.
        if (checkSaveFolder(path)) {
            writeStill(hqImage, path, use);
            return;
        }
    }
    if (use == StillUse::Awaited)
        endStillWait({});
}

void CaptureImpl::writeStill(const QImage &still, const QString &path, StillUse use)
{
    const quint64 write = ++lastStillWrite;
    stillWrites[write] = StillWrite{path, use};
    std::function<void()> job = [this, write, still, path] {
        ThreadHandOver::received();
        QString failure;
        const bool written = JpegWriter::write(still, path, JpegQuality, &failure);
        ThreadHandOver::published();
        QMetaObject::invokeMethod(
                this,
                [this, write, written, failure] {
                    ThreadHandOver::received();
                    stillWritten(write, written, failure);
                },
                Qt::QueuedConnection);
    };
    ThreadHandOver::published();
    stillWriter.start(std::move(job));
}

void CaptureImpl::stillWritten(quint64 write, bool written, const QString &failure)
{
    Lock lock(componentMutex());
    const auto found = stillWrites.find(write);
    if (found == stillWrites.end())
        return;
    const StillWrite still = found->second;
    stillWrites.erase(found);
    if (still.use == StillUse::Unwanted) {
        // One press, one picture: the live frame has been saved in its place.
        if (written)
            QFile::remove(still.path);
        captureLog.log(4, "CaptureImpl::stillWritten() - A still given up on came late");
        return;
    }
    if (!written) {
        reportWriteFailure(still.path, failure);
        if (still.use == StillUse::Awaited)
            endStillWait({});
        return;
    }
    playShutterSound();
    if (still.use == StillUse::Announced)
        Q_EMIT docCamImageCaptured(still.path);
    else
        endStillWait(still.path);
}

void CaptureImpl::endStillWait(const QString &path)
{
    hqResultPath = path;
    hqNotSaved = path.isEmpty();
    if (capturingDialog) {
        capturingDialog->accept();
        Q_EMIT actionStatusChanged(idleStatus());
    }
}

bool CaptureImpl::awaitedStillBeingWritten() const
{
    return std::any_of(stillWrites.begin(), stillWrites.end(),
                       [](const auto &write) { return write.second.use == StillUse::Awaited; });
}

void CaptureImpl::hqImageCaptureAborted(int reason)
{
    Lock lock(componentMutex());
    hqOutstanding = false;
    hqAbandoned = false;
    // A still already in hand ends the wait itself once written.
    if (capturingDialog && !awaitedStillBeingWritten()) {
        capturingDialog->accept();
        Q_EMIT actionStatusChanged(idleStatus());
    }
    captureLog.log(2, "CaptureImpl::hqImageCaptureAborted() - error code %d", reason);
}

void CaptureImpl::docCamConnected(QString modelName)
{
    Lock lock(componentMutex());
    Q_UNUSED(modelName);
    frozen = false;
    setActionStatus(actionStatus | CaptureStatus::Idle);
}

void CaptureImpl::docCamFreezeChanged(bool freezed)
{
    Lock lock(componentMutex());
    frozen = freezed;
    // A series goes on through a freeze (it photographs the frozen page); only the buttons of
    // the still pictures follow.
    if (timeLapseRunning)
        return;
    setActionStatus(freezed ? CaptureStatus::DesktopOnly : CaptureStatus::Idle);
}

void CaptureImpl::docCamDisconnected()
{
    Lock lock(componentMutex());
    stopTimers();
    frozen = false;
    // A still that was waited for will not come now. One already in hand was taken before the
    // camera went: it is still written, and ends the wait itself.
    hqOutstanding = false;
    hqAbandoned = false;
    if (capturingDialog && !awaitedStillBeingWritten())
        capturingDialog->reject();
    setActionStatus(CaptureStatus::DesktopOnly);
    if (timeLapseRunning)
        abortTimeLapse(TimeLapseAbort::CameraGone);
}

void CaptureImpl::showCaptureResult(const QString &title, int count, const QString &folderOrMessage)
{
    QString text = QStringLiteral("<B>%1</B><br><br>").arg(title);
    if (count < 1) {
        text += folderOrMessage;
    } else {
        const QString link = QStringLiteral("<a href='%1'>%2</a>")
                                     .arg(QUrl::fromLocalFile(folderOrMessage).toString(),
                                          QDir::toNativeSeparators(folderOrMessage));
        text += (count == 1 ? QStringLiteral("%1 image has been captured in %2")
                            : QStringLiteral("%1 images have been captured in %2"))
                        .arg(count)
                        .arg(link);
    }
    showBox(QMessageBox::NoIcon, QString(), text, QString(), QMessageBox::Ok, QMessageBox::Ok,
            true);
}

ResultCode CaptureImpl::confirmExit()
{
    Lock lock(componentMutex());
    if (!timeLapseRunning)
        return Result::Success;
    const auto answer = showBox(QMessageBox::Warning, QStringLiteral("Warning"),
                                QStringLiteral("Do you really want to exit Velora?"),
                                QStringLiteral("Time Lapse Capture is on going!"),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No, false);
    if (answer != QMessageBox::Yes)
        return Result::ExitDeclined;
    stopTimers();
    timeLapseRunning = false;
    setActionStatus(idleStatus());
    return Result::Success;
}

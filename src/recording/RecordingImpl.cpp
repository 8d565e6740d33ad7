#include "RecordingImpl.h"

#include "AVIRecordingThread.h"

#include <LogModule.h>
#include <SettingIntf.h>

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QRegularExpression>

namespace {

const LogModule recordingLog("velora/recording");

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr quint32 FullVolume = 65535;
// The name a writer that stopped by itself is closed under before it is started again.
const QString InterruptedName = QStringLiteral("out.avi");

} // namespace

RecordingIntf *RecordingIntf::getInstance()
{
    return RecordingImpl::getInstance();
}

RecordingImpl::RecordingImpl()
    : settings(SettingIntf::getInstance())
{
    connect(&levelTimer, &QTimer::timeout, this, &RecordingImpl::reportAudioLevel);
    connect(&statusTimer, &QTimer::timeout, this, &RecordingImpl::checkRecordingStatus);
    connect(&deviceTimer, &QTimer::timeout, this, &RecordingImpl::checkAudioSource);
    connect(&frameTimer, &QTimer::timeout, this, &RecordingImpl::addFrame);
    deviceTimer.start(DeviceInterval);
}

RecordingImpl::~RecordingImpl()
{
    // A recording still running when the last user lets go is finished, not left to the worker.
    if (isRecording()) {
        QList<QString> files;
        stopWriter(QString(), &files);
    }
    levelTimer.stop();
    deviceTimer.stop();
    levelReporter.close();
    settings->release();
}

void RecordingImpl::release()
{
    releaseShared();
}

int RecordingImpl::frameWidth(int quality)
{
    switch (quality) {
    case 0:
        return 640;
    case 1:
        return 800;
    case 2:
        return 1024;
    default:
        return 0;
    }
}

ResultCode RecordingImpl::doStartRecording()
{
    const int quality = settings->getVideoQuality();
    settings->setVideoQuality(quality);
    // A teacher who never opened the settings still records the sound of the usual microphone.
    if (settings->getAudioSource().isEmpty()) {
        const QString usual = QMediaDevices::defaultAudioInput().description();
        if (!usual.isEmpty())
            settings->setAudioSource(usual);
    }
    const QString source = settings->getMute() ? QString() : settings->getAudioSource();
    const bool started = uncompressedMode
            ? ctrl.start(frameWidth(quality), 0, source, QStringLiteral("DIB "))
            : ctrl.start(frameWidth(quality), 0, source);
    if (!started) {
        recordingLog.log(5, "RecordingImpl::doStartRecording() - start recording error");
        return Result::Failure;
    }
    recordingLog.log(6, "RecordingImpl::doStartRecording()");
    statusTimer.start(StatusInterval);
    frameTimer.start(FrameInterval);
    return Result::Success;
}

ResultCode RecordingImpl::stopWriter(const QString &name, QList<QString> *files)
{
    statusTimer.stop();
    const QString folder = settings->getSavePath();
    if (folder.isEmpty()) {
        recordingLog.log(5, "RecordingImpl::doStopRecording() - stop recording error");
        return Result::Failure;
    }
    QDir().mkpath(folder);
    // The writer keeps the name the recording started with; this one only goes to its log.
    const QString asked = name.isEmpty() ? AVIRecordingThread::newFileName() : name;
    *files = ctrl.stopAll(QDir(folder).filePath(asked));
    frameTimer.stop();
    uncompressedMode = false;
    if (ctrl.lastError() == AVIRecordingThread::NotRunning) {
        recordingLog.log(6, "RecordingImpl::doStopRecording() - stop recording error");
        return Result::Failure;
    }
    recordingLog.log(6, "RecordingImpl::doStopRecording()");
    return Result::Success;
}

ResultCode RecordingImpl::doStopRecording(QList<QString> *fullPaths)
{
    return stopWriter(QString(), fullPaths);
}

ResultCode RecordingImpl::doStopRecording(QString *fileName)
{
    QList<QString> files;
    const ResultCode result = stopWriter(*fileName, &files);
    *fileName = files.value(0);
    return result;
}

ResultCode RecordingImpl::doPauseRecording()
{
    recordingLog.log(6, "RecordingImpl::doPauseRecording()");
    if (!ctrl.togglePause()) {
        recordingLog.log(6, "RecordingImpl::doPauseRecording() - pause recording error");
        return Result::Failure;
    }
    return Result::Success;
}

ResultCode RecordingImpl::doResumeRecording()
{
    recordingLog.log(6, "RecordingImpl::doResumeRecording()");
    if (ctrl.togglePause()) {
        recordingLog.log(6, "RecordingImpl::doResumeRecording() - resume recording error");
        return Result::Failure;
    }
    return Result::Success;
}

ResultCode RecordingImpl::doInit()
{
    if (ctrl.inputDeviceCount() == 0 || !levelReporter.open(settings->getAudioSource()))
        return RecordingResult::NoAudioInput;
    levelReporter.start();
    levelTimer.start(LevelInterval);
    return Result::Success;
}

ResultCode RecordingImpl::doUninit()
{
    levelTimer.stop();
    levelReporter.close();
    return Result::Success;
}

void RecordingImpl::checkRecordingStatus()
{
    Lock lock(componentMutex());
    if (!isRecording()) {
        statusTimer.stop();
        return;
    }
    if (ctrl.isRunning()) {
        // Frames written after the folder was deleted or its drive pulled go nowhere: end the
        // recording as a full disk would.
        const QString file = ctrl.filePath();
        if (file.isEmpty() || QFileInfo::exists(file))
            return;
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - The recording file has gone");
        stopWithDiskMessage();
        return;
    }
    const int error = ctrl.lastError();
    statusTimer.stop();
    switch (error) {
    case AVIRecordingThread::NoError:
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - no error");
        break;
    case AVIRecordingThread::CannotInitialise:
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - initialize recording failed");
        break;
    case AVIRecordingThread::CannotAddFrame:
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - Add frame failed");
        break;
    case AVIRecordingThread::NotEnoughSpace:
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - Free space is not enough");
        break;
    case AVIRecordingThread::CodecFailed:
        recordingLog.log(6, "RecordingImpl::checkRecordingStatus() - Use XVID codec failed");
        break;
    }
    if (error == AVIRecordingThread::NotEnoughSpace || uncompressedMode) {
        stopWithDiskMessage();
    } else if (error == AVIRecordingThread::CodecFailed) {
        QString written = InterruptedName;
        doStopRecording(&written);
        if (!written.isEmpty())
            QFile::remove(written);
        stopWithError(RecordingResult::CodecFailed,
                      QStringLiteral("Use XVID codec failed. Please contact customer service"));
    } else {
        QString written = InterruptedName;
        doStopRecording(&written);
        uncompressedMode = true;
        // A writer that cannot even start uncompressed frames has nowhere left to write.
        if (doStartRecording() < 0)
            stopWithDiskMessage();
    }
}

void RecordingImpl::addFrame()
{
    Lock lock(componentMutex());
    if (!uncompressedMode)
        frameTimer.stop();
    else if (ctrl.isRunning())
        ctrl.addOneFrameNow();
}

void RecordingImpl::checkAudioSource()
{
    Lock lock(componentMutex());
    deviceTimer.stop();
    const qint64 count = ctrl.inputDeviceCount();
    if (count != lastDeviceCount) {
        lastDeviceCount = count;
        Q_EMIT audioSourcesChanged(ctrl.audioInputs());
    }
    deviceTimer.start(DeviceInterval);
}

void RecordingImpl::reportAudioLevel()
{
    Q_EMIT audioLevelReported(levelReporter.level());
}

QList<QString> RecordingImpl::getOldAudioSources()
{
    Lock lock(componentMutex());
    return ctrl.audioInputs();
}

QList<QString> RecordingImpl::getAudioSources()
{
    return getOldAudioSources();
}

bool RecordingImpl::isMute()
{
    Lock lock(componentMutex());
    return settings->getMute();
}

void RecordingImpl::setMute(bool mute)
{
    Lock lock(componentMutex());
    settings->setMute(mute);
    ctrl.setMute(mute);
}

void RecordingImpl::setVolume(uint percent)
{
    Lock lock(componentMutex());
    ctrl.setVolume(qMin(percent, 100u) * FullVolume / 100);
}

uint RecordingImpl::getVolume()
{
    Lock lock(componentMutex());
    // Rounded, so that a percentage set is the percentage read back.
    return (quint64(ctrl.volume()) * 100 + FullVolume / 2) / FullVolume;
}

QString RecordingImpl::recordingFile()
{
    return ctrl.filePath();
}

bool RecordingImpl::isRecordingFile(const QString &path)
{
    const QString current = ctrl.filePath();
    if (current.isEmpty() || path.isEmpty())
        return false;
    const QFileInfo target(current);
    const QFileInfo candidate(path);
    if (QDir::cleanPath(candidate.absolutePath()) != QDir::cleanPath(target.absolutePath()))
        return false;
    // A long recording goes on in "<name>_2.avi", "<name>_3.avi", ... beside the first part.
    static const QRegularExpression partNumber(QStringLiteral("^_\\d+$"));
    const QString base = target.completeBaseName();
    const QString name = candidate.completeBaseName();
    return candidate.suffix() == target.suffix()
            && (name == base
                || (name.startsWith(base) && partNumber.match(name.mid(base.size())).hasMatch()));
}

void RecordingImpl::setRecordedWindow(QWidget *window)
{
    Lock lock(componentMutex());
    ctrl.setRecordedWindow(window);
}

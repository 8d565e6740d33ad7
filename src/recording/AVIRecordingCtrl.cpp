#include "AVIRecordingCtrl.h"

#include "AVIRecordingThread.h"
#include "AudioInputList.h"
#include "VolumeController.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

AVIRecordingCtrl::AVIRecordingCtrl(QObject *parent)
    : QObject(parent)
    , worker(AVIRecordingThread::instance())
    , inputs(new AudioInputList(this))
{ }

AVIRecordingCtrl::~AVIRecordingCtrl() = default;

void AVIRecordingCtrl::setRecordedWindow(QWidget *window)
{
    recordedWindow = window;
}

QSize AVIRecordingCtrl::frameSize(QSize screen, int width, int height)
{
    if (width < 1 || screen.isEmpty())
        return screen;
    if (height < 1) {
        height = screen.height() * width / screen.width();
        height += height % 2;
    }
    return {width, height};
}

QRect AVIRecordingCtrl::recordedArea() const
{
    QScreen *screen = recordedWindow ? recordedWindow->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    // The grab works in the X server's pixels, Qt's geometry in device-independent ones.
    const QRect geometry = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return {QPoint(qRound(geometry.x() * ratio), qRound(geometry.y() * ratio)),
            QSize(qRound(geometry.width() * ratio), qRound(geometry.height() * ratio))};
}

bool AVIRecordingCtrl::start(int width, int height, const QString &audioSource)
{
    return start(width, height, audioSource, QString());
}

bool AVIRecordingCtrl::start(int width, int height, const QString &source, const QString &codec)
{
    audioSource = source;
    int audioDevice = -2;
    if (!source.isEmpty()) {
        const QStringList names = inputs->names();
        for (int i = 0; i < names.size() && audioDevice == -2; ++i) {
            if (names[i].compare(source, Qt::CaseInsensitive) == 0)
                audioDevice = i;
        }
    }
    const QRect area = recordedArea();
    worker->startRecording(area, frameSize(area.size(), width, height), audioDevice, codec);
    return worker->isRecording();
}

QString AVIRecordingCtrl::stop(const QString &finalName)
{
    const QStringList files = stopAll(finalName);
    return files.isEmpty() ? QString() : files.first();
}

QStringList AVIRecordingCtrl::stopAll(const QString &finalName)
{
    return worker->stopRecording(finalName);
}

bool AVIRecordingCtrl::togglePause()
{
    return worker->togglePause();
}

bool AVIRecordingCtrl::isRunning() const
{
    return worker->isRecording();
}

QString AVIRecordingCtrl::filePath() const
{
    return worker->filePath();
}

int AVIRecordingCtrl::lastError() const
{
    return worker->lastError();
}

void AVIRecordingCtrl::addOneFrameNow()
{
    worker->addOneFrameNow();
}

void AVIRecordingCtrl::setMute(bool mute)
{
    worker->setMuted(mute);
}

bool AVIRecordingCtrl::isMute() const
{
    return worker->isMuted();
}

void AVIRecordingCtrl::setVolume(quint32 volume)
{
    ComponentRef<VolumeController> controller;
    controller->setRecordingVolume(volume);
}

quint32 AVIRecordingCtrl::volume() const
{
    ComponentRef<VolumeController> controller;
    return controller->recordingVolume();
}

QStringList AVIRecordingCtrl::audioInputs()
{
    return inputs->names();
}

int AVIRecordingCtrl::inputDeviceCount() const
{
    return inputs->deviceCount();
}

#include "AudioLevelReporter.h"

#include "AudioCapture.h"

#include <LogModule.h>

#include <QMediaDevices>

namespace {

const LogModule levelLog("velora/recording");

QAudioDevice findInput(const QString &name)
{
    if (name.isEmpty())
        return QMediaDevices::defaultAudioInput();
    for (const QAudioDevice &device : QMediaDevices::audioInputs()) {
        const QString description = device.description();
        if (description.contains(name, Qt::CaseInsensitive)
            || name.contains(description, Qt::CaseInsensitive))
            return device;
    }
    return {};
}

} // namespace

AudioLevelReporter::AudioLevelReporter(QObject *parent)
    : QObject(parent)
{ }

AudioLevelReporter::~AudioLevelReporter()
{
    close();
}

bool AudioLevelReporter::open(const QString &inputName)
{
    std::lock_guard lock(mutex);
    capture.reset();
    const QAudioDevice device = findInput(inputName);
    if (device.isNull()) {
        levelLog.log(3, "AudioLevelReporter::open - No input matches %s", qPrintable(inputName));
        return false;
    }
    auto opened = std::make_unique<AudioCapture>(callback);
    if (!opened->open(device)) {
        levelLog.log(3, "AudioLevelReporter::open - %s cannot be read",
                     qPrintable(device.description()));
        return false;
    }
    capture = std::move(opened);
    return true;
}

bool AudioLevelReporter::start()
{
    std::lock_guard lock(mutex);
    return capture && capture->start();
}

void AudioLevelReporter::close()
{
    std::lock_guard lock(mutex);
    capture.reset();
}

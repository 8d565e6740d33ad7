#include "AudioLevelReporter.h"

#include "AudioCapture.h"

#include <LogModule.h>

#include <QMediaDevices>

namespace {

const LogModule levelLog("velora/recording");

// A meter falls to 0 this soon after its input stops delivering.
constexpr int StallMs = 300;

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
    callback.clear();
    const QAudioDevice device = findInput(inputName);
    if (device.isNull()) {
        levelLog.log(3, "AudioLevelReporter::open - No input matches %s", qPrintable(inputName));
        return false;
    }
    // 16-bit stereo at 44,100 Hz in 10 ms periods: the meter follows the voice, and the first
    // level comes soon after a switch of input.
    auto opened = std::make_unique<AudioCapture>(
            44100, 10, StallMs,
            [this](const char *data, qsizetype bytes) { callback.receive(data, bytes); },
            [this] { callback.clear(); });
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
    callback.clear();
    return capture && capture->start();
}

void AudioLevelReporter::close()
{
    std::lock_guard lock(mutex);
    capture.reset();
    callback.clear();
}

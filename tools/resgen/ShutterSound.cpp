#include "ShutterSound.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {
constexpr int SampleRate = 44100;

void appendLe32(QByteArray &out, std::uint32_t value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendLe16(QByteArray &out, std::uint16_t value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

/// Adds one click at `startSeconds`: a noise burst with a fast attack and exponential decay,
/// low-passed so it sounds mechanical rather than hissy, over a short low thump.
void addClick(std::vector<float> &samples, double startSeconds, double gain, std::mt19937 &random)
{
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const int start = int(startSeconds * SampleRate);
    const int length = int(0.06 * SampleRate);
    float lowPassed = 0;
    for (int i = 0; i < length && start + i < int(samples.size()); ++i) {
        const double t = double(i) / SampleRate;
        const double envelope = (1.0 - std::exp(-t / 0.0008)) * std::exp(-t / 0.012);
        lowPassed += 0.35f * (noise(random) - lowPassed);
        const double thump = std::sin(2 * M_PI * 140 * t) * std::exp(-t / 0.02);
        samples[start + i] += float(gain * envelope * (0.8 * lowPassed + 0.5 * thump));
    }
}
} // namespace

QByteArray shutterSoundWav()
{
    std::vector<float> samples(int(0.25 * SampleRate), 0.0f);
    std::mt19937 random(20261205);
    addClick(samples, 0.0, 0.9, random);
    addClick(samples, 0.085, 0.7, random);

    QByteArray pcm;
    pcm.reserve(int(samples.size()) * 2);
    for (float sample : samples) {
        const float clipped = std::clamp(sample, -1.0f, 1.0f);
        appendLe16(pcm, std::uint16_t(std::int16_t(std::lround(clipped * 32767))));
    }

    QByteArray wav;
    wav.append("RIFF");
    appendLe32(wav, std::uint32_t(36 + pcm.size()));
    wav.append("WAVEfmt ");
    appendLe32(wav, 16); // format chunk size
    appendLe16(wav, 1); // PCM
    appendLe16(wav, 1); // mono
    appendLe32(wav, SampleRate);
    appendLe32(wav, SampleRate * 2); // bytes per second
    appendLe16(wav, 2); // block align
    appendLe16(wav, 16); // bits per sample
    wav.append("data");
    appendLe32(wav, std::uint32_t(pcm.size()));
    wav.append(pcm);
    return wav;
}

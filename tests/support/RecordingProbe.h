#pragma once

#include <QByteArray>
#include <QString>

/// What libavformat reads of a recording, for tests that check the files Velora writes.
struct RecordingProbe
{
    bool opened = false;
    int videoStreams = 0;
    int audioStreams = 0;
    // The video stream.
    QString codecTag; // "XVID", "DIB " (raw frames: FFmpeg reads no tag, so this is "DIB ")
    int width = 0;
    int height = 0;
    double framesPerSecond = 0;
    int frames = 0; // frames with a picture; empty slots do not count
    double videoSeconds = 0; // from the last frame's time stamp
    // The sound stream.
    int sampleRate = 0;
    int channels = 0;
    int bytesPerSample = 0;
    QByteArray pcm; // every sample, as stored
    double audioSeconds = 0;

    /// Reads `path` packet by packet, as a player would.
    static RecordingProbe of(const QString &path);
    /// The duration libavformat reports for the whole file, in seconds; negative when none.
    static double reportedSeconds(const QString &path);
};

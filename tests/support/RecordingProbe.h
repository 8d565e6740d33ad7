#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

/// What libavformat and libavcodec read back from a recording, for the tests and the benchmark
/// that check the files Velora writes.
struct RecordingProbe
{
    bool opened = false;
    int videoStreams = 0;
    int audioStreams = 0;
    // The video stream.
    uint tag = 0; // as stored (0 for uncompressed frames)
    QString codecTag; // "XVID", or "DIB " for uncompressed frames (FFmpeg reads them as raw video)
    int width = 0;
    int height = 0;
    double framesPerSecond = 0;
    QList<qint64> framePts; // frames with a picture; empty slots do not count
    int frames = 0; // framePts.size()
    double videoSeconds = 0; // to the end of the last frame
    QImage picture; // the first frame, decoded
    QList<QImage> thumbnails; // every frame, decoded and scaled, when asked for
    // The sound stream.
    int sampleRate = 0;
    int channels = 0;
    int bytesPerSample = 0;
    QByteArray pcm; // every sample, as stored
    double audioSeconds = 0;

    /// Reads `path` packet by packet, as a player would; with a `thumbnailWidth`, decodes every
    /// frame into `thumbnails` of that width.
    static RecordingProbe of(const QString &path, int thumbnailWidth = 0);
    /// The duration libavformat reports for the whole file, in seconds; negative when none.
    static double reportedSeconds(const QString &path);
};

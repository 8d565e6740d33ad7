#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>

/// One picture of a video, decoded for a thumbnail, and what opening the video told.
struct VideoStill
{
    /// The file opened as media with a video stream whose decoder could start.
    bool isVideo = false;
    /// The length in milliseconds as the container states or estimates it; 0 when unknown.
    qint64 duration = 0;
    /// Null when no frame could be decoded.
    QImage picture;
};

/// Decodes the frame shown at `at` milliseconds of the video at `path` (the first frame of a
/// video that is not longer than that), scaled to fit `box` with its aspect kept. Seeks to the
/// key frame before `at` and decodes forward from there, so that a long recording costs a few
/// frames rather than all those before. A set `stop` abandons the work at the next read.
VideoStill grabVideoStill(const QString &path, qint64 at, QSize box,
                          const std::atomic<bool> *stop = nullptr);

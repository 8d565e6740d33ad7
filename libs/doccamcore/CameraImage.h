#pragma once

#include <QImage>

/// One frame delivered by a camera. Copies share the picture (QImage is implicitly shared), so
/// passing a frame between threads or views never copies its pixels.
class CameraImage
{
public:
    CameraImage() = default;
    explicit CameraImage(QImage image, qint64 sequence = 0, qint64 capturedNs = 0)
        : image(std::move(image))
        , frameSequence(sequence)
        , capturedAtNs(capturedNs)
    { }

    /// The picture; null for the blank frame a view is given on disconnection.
    QImage getQImage() const { return image; }
    bool isNull() const { return image.isNull(); }
    QSize size() const { return image.size(); }

    /// Counts the frames of one stream from 1; 0 for a frame not from a stream.
    qint64 sequence() const { return frameSequence; }
    /// When the frame left the camera library, on std::chrono::steady_clock, in ns.
    qint64 capturedNs() const { return capturedAtNs; }

private:
    QImage image;
    qint64 frameSequence = 0;
    qint64 capturedAtNs = 0;
};

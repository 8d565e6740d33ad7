#pragma once

#include "CameraDevice.h"

#include <QImage>

#include <atomic>
#include <mutex>
#include <thread>

class DocCamParametersListener;
class QImageFrameGrabber;
class QImageHQImageGrabber;
class StreamControl;

/// The state behind a CameraDevice, shared by the files that implement it.
struct CameraDevice::Private
{
    DocCamManager *manager = nullptr;
    std::atomic<int> references{1};

    // Guards everything below except the callback targets. Lock order: callbackMutex may be held
    // when mutex is taken (a callback reading the camera), never the other way round.
    mutable std::mutex mutex;
    Parameters parameters;
    DocCam::VideoFormat streamFormat;
    StreamControl *control = nullptr;
    bool capturing = false;
    QImage latestRaw;
    QImage frozenFrame;
    bool awaitingPaint = false;
    qint64 sequence = 0;
    QSize displaySize;
    // Whether the frame the backend is decoding was asked for whole (displaySize() was empty),
    // and whether the frame last delivered was. A picture frozen while shrunk to the view is
    // replaced once by a whole frame, so that it stays sharp in a larger view and in a capture.
    bool decodingWhole = true;
    bool shownWhole = true;

    // Held while a callback runs, so that removing its target waits for it to finish.
    std::mutex callbackMutex;
    QImageFrameGrabber *grabber = nullptr;
    QImageHQImageGrabber *hqGrabber = nullptr;
    DocCamParametersListener *listener = nullptr;

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> hqRequested{false};
    std::thread captureThread;
};

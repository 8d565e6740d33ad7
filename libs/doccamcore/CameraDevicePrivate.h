#pragma once

#include "CameraDevice.h"

#include <QImage>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CameraSettingsStore;
class DocCamParametersListener;
class QImageFrameGrabber;
class QImageHQImageGrabber;
class StreamControl;

/// The state behind a CameraDevice, shared by the files that implement it.
struct CameraDevice::Private
{
    DocCamManager *manager = nullptr;
    std::shared_ptr<CameraSettingsStore> settings;
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
    // and whether the latest and the last delivered frames were. A picture frozen while shrunk
    // to the view is replaced once by a whole frame, so that it stays sharp in a larger view and
    // in a capture; a capture of the live picture asks for a whole frame.
    bool decodingWhole = true;
    bool latestWhole = true;
    bool shownWhole = true;
    bool wholeWanted = false;
    std::condition_variable wholeArrived;

    // Held while a callback runs, so that removing its target waits for it to finish.
    std::mutex callbackMutex;
    QImageFrameGrabber *grabber = nullptr;
    QImageHQImageGrabber *hqGrabber = nullptr;
    DocCamParametersListener *listener = nullptr;

    std::atomic<bool> stopRequested{false};
    std::atomic<bool> hqRequested{false};
    std::thread captureThread;
};

#pragma once

#include <CameraImage.h>
#include <QImageFrameGrabber.h>

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>

class CameraThrottleController;
class CameraWidgetDelegate;
class QPainter;

/// Shows a camera's live picture, scaled into the largest centred rectangle of the picture's
/// aspect ratio, or a status text (or a connecting bar) while there is none.
///
/// The camera library pushes frames through the QImageFrameGrabber operations on its capture
/// thread; the view hands each one to the GUI thread and does all its work there, in arrival
/// order. Called on the GUI thread, the operations act at once and supersede whatever the
/// capture thread had queued before them, so the blank frame an owner gives on disconnection is
/// not overwritten by a stale picture. The owner must stop the stream before destroying the view.
class CameraWidget : public QWidget, public QImageFrameGrabber
{
    Q_OBJECT

public:
    /// `throttle` is told after every paint; it may be null when nothing paces the camera.
    explicit CameraWidget(CameraThrottleController *throttle, QWidget *parent = nullptr);
    ~CameraWidget() override;

    void oneFrameFetched(const CameraImage &frame) override;
    void frameError(int code) override;

    /// The camera has been opened and a picture is expected: show the connecting bar until the
    /// first frame arrives. A view that already shows a picture never shows the bar.
    void setWaiting(bool waiting);
    bool isWaiting() const { return waitingForPicture; }

    /// Drawn while there is no picture, e.g. "Camera not connected" or "Camera in use".
    void setStatusText(const QString &text);
    /// The text drawn: instead of "Camera not connected", why a camera that is there cannot be
    /// used, when discovery found one.
    QString statusText() const;

    /// A second view that receives every frame and frame error this one receives, sharing the
    /// pixels. Null, or this view itself, forwards nothing.
    void setForwardTarget(CameraWidget *target);
    CameraWidget *forwardTarget() const { return forwardView.data(); }

    void setDelegate(CameraWidgetDelegate *delegate) { pictureDelegate = delegate; }
    CameraWidgetDelegate *delegate() const { return pictureDelegate; }

    /// The latest frame; null before the first one and after an error or a blank frame.
    CameraImage frame() const { return currentFrame; }
    /// Where the picture is drawn, in the view's coordinates.
    QRect pictureRect() const { return pictureArea; }
    /// Whether the connecting bar is up; it is seen only while the view itself is visible.
    bool isInitBarShown() const;
    /// The status text's size, which grows with the view so that it reads the same on a small
    /// preview and on a projector.
    int statusFontPointSize() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void showFrame(const CameraImage &frame);
    void showFrameError(int code);
    void updatePictureArea();
    void drawPicture(QPainter &painter, const QImage &image) const;
    bool onOwnThread() const;
    /// Runs `work` now on the GUI thread, or queues it there from any other.
    void deliver(std::function<void()> work);

    CameraImage currentFrame;
    QRect pictureArea;
    QString currentStatusText;
    QPointer<CameraWidget> forwardView;
    bool waitingForPicture = false;
    QWidget *initBar = nullptr;
    CameraThrottleController *throttle = nullptr;
    CameraWidgetDelegate *pictureDelegate = nullptr;
    // Set while this view hands a frame on, so that two views forwarding to each other stop
    // after one round instead of recursing.
    bool forwarding = false;
    // Counts the deliveries made on the GUI thread; a queued delivery stamped with an older count
    // was overtaken by one of them and is dropped.
    std::atomic<quint64> directDeliveries{0};
};

#include "CameraWidget.h"

#include <ThreadHandOver.h>

#include "CameraThrottleController.h"
#include "CameraWidgetDelegate.h"
#include "ui_CameraInitBar.h"

#include <DocCamTypes.h>
#include <LogModule.h>
#include <UnusableCameras.h>

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QThread>

static LogModule webCamLog("velora/webCam");

namespace {
QString notConnectedText()
{
    return QStringLiteral("Camera not connected");
}
} // namespace

CameraWidget::CameraWidget(CameraThrottleController *throttle, QWidget *parent)
    : QWidget(parent)
    , currentStatusText(notConnectedText())
    , initBar(new QWidget(this))
    , throttle(throttle)
{
    // Every pixel is painted here (the picture, the bands beside it, or the status gradient),
    // so Qt need not fill the background first: that fill cost as much as copying the picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    Ui::CameraInitBar form;
    form.setupUi(initBar);
    initBar->hide();
    initBar->setGeometry(rect());
    // Discovery runs on the camera library's thread and tells no controller about a camera it
    // cannot use; the text is redrawn when it learns of one.
    connect(UnusableCameras::instance(), &UnusableCameras::changed, this,
            qOverload<>(&QWidget::update));
}

CameraWidget::~CameraWidget() = default;

bool CameraWidget::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

void CameraWidget::oneFrameFetched(const CameraImage &frame)
{
    // The copy shares the picture, so only a reference crosses to the GUI thread.
    deliver([this, frame] { showFrame(frame); });
}

void CameraWidget::frameError(int code)
{
    deliver([this, code] { showFrameError(code); });
}

void CameraWidget::deliver(std::function<void()> work)
{
    if (onOwnThread()) {
        ++directDeliveries;
        work();
        return;
    }
    // The view is the context, so work still queued when it is destroyed is dropped with it.
    const quint64 generation = directDeliveries.load();
    ThreadHandOver::published();
    QMetaObject::invokeMethod(
            this,
            [this, work = std::move(work), generation] {
                ThreadHandOver::received();
                if (generation == directDeliveries.load())
                    work();
            },
            Qt::QueuedConnection);
}

void CameraWidget::setWaiting(bool waiting)
{
    waitingForPicture = waiting;
    initBar->setVisible(waiting && currentFrame.isNull());
    update();
}

void CameraWidget::setStatusText(const QString &text)
{
    currentStatusText = text;
    update();
}

QString CameraWidget::statusText() const
{
    // Without the reason the teacher cannot tell a missing camera from one that is refused.
    if (currentStatusText == notConnectedText()) {
        if (const QString unusable = UnusableCameras::instance()->text(); !unusable.isEmpty())
            return unusable;
    }
    return currentStatusText;
}

void CameraWidget::setForwardTarget(CameraWidget *target)
{
    forwardView = target;
}

bool CameraWidget::isInitBarShown() const
{
    return !initBar->isHidden();
}

int CameraWidget::statusFontPointSize() const
{
    // A point size below 1 is refused by QFont; only a view a few pixels wide gets there.
    return qMax(1, qRound(40.0 * width() / 640.0));
}

void CameraWidget::showFrame(const CameraImage &frame)
{
    const QSize previousSize = currentFrame.size();
    const bool hadPicture = !currentFrame.isNull();
    const QSize newSize = frame.size();
    currentFrame = frame;

    if (!frame.isNull()) {
        if (waitingForPicture) {
            waitingForPicture = false;
            initBar->hide();
        }
        if (!hadPicture && pictureDelegate)
            pictureDelegate->pictureStarted(this);
    }

    // A frame of the same shape, whatever its resolution, lands in the same rectangle: repaint
    // only that, so a live picture does not cost a full-window repaint per frame.
    // The first picture after none needs its rectangle too: without a picture the area is the
    // whole widget.
    const bool sameShape = !previousSize.isEmpty() && !newSize.isEmpty()
            && newSize.scaled(previousSize, Qt::KeepAspectRatio) == previousSize;
    if (sameShape) {
        update(pictureArea);
    } else if (previousSize.isEmpty() || newSize.isEmpty()) {
        updatePictureArea();
        update();
    } else {
        webCamLog.log(7,
                      QStringLiteral("CameraWidget::oneFrameFetched - Different aspect ratio: "
                                     "origin(%f), new(%f)"),
                      double(previousSize.width()) / previousSize.height(),
                      double(newSize.width()) / newSize.height());
        updatePictureArea();
        update();
    }

    CameraWidget *target = forwardView.data();
    if (target && target != this && !target->forwarding) {
        const QScopedValueRollback<bool> guard(forwarding, true);
        target->showFrame(frame);
    }
}

void CameraWidget::showFrameError(int code)
{
    webCamLog.log(LogSystem::LogWarning, QStringLiteral("CameraWidget::frameError - code 0x%08x"),
                  unsigned(code));
    if (code == DocCam::ErrorFrame)
        currentStatusText = notConnectedText();
    currentFrame = CameraImage();
    update();

    CameraWidget *target = forwardView.data();
    if (target && target != this && !target->forwarding) {
        const QScopedValueRollback<bool> guard(forwarding, true);
        target->showFrameError(code);
    }
}

void CameraWidget::updatePictureArea()
{
    if (currentFrame.isNull()) {
        pictureArea = rect();
        return;
    }
    const QSize fitted = currentFrame.size().scaled(size(), Qt::KeepAspectRatio);
    pictureArea = QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                        fitted);
}

void CameraWidget::drawPicture(QPainter &painter, const QImage &image) const
{
    // A frame the camera library already made the size it is shown at (give or take the
    // rounding of a fractional device pixel ratio) is copied pixel for pixel: resampling it
    // would cost more than decoding it and could only blur it.
    // The scale of the device painted on, which is not the window's when the view is rendered
    // into an image.
    const QTransform device = painter.deviceTransform();
    const qreal ratio = device.m11();
    const QRectF target(QPointF(pictureArea.topLeft()) * ratio, QSizeF(pictureArea.size()) * ratio);
    if (device.type() <= QTransform::TxScale && ratio > 0 && qFuzzyCompare(ratio, device.m22())
        && qAbs(target.width() - image.width()) <= 1
        && qAbs(target.height() - image.height()) <= 1) {
        painter.save();
        painter.scale(1 / ratio, 1 / ratio);
        const QRect drawn(target.topLeft().toPoint(), image.size());
        // A frame a pixel short leaves a line of the picture's area to fill.
        for (const QRect &rest : QRegion(target.toAlignedRect()).subtracted(drawn))
            painter.fillRect(rest, palette().window());
        painter.drawImage(drawn.topLeft(), image);
        painter.restore();
        return;
    }
    painter.drawImage(QRectF(pictureArea), image);
}

void CameraWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updatePictureArea();
    initBar->setGeometry(rect());
}

void CameraWidget::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage image = currentFrame.getQImage();
        if (!image.isNull()) {
            // The bands beside the picture show the background the view inherits.
            const QRegion bands = event->region().subtracted(pictureArea);
            for (const QRect &band : bands)
                painter.fillRect(band, palette().window());
            if (image.hasAlphaChannel())
                painter.fillRect(pictureArea, palette().window());
            drawPicture(painter, image);
        } else {
            const qreal centreX = width() / 2.0;
            QLinearGradient gradient(centreX, 0, centreX, height());
            gradient.setColorAt(0, Qt::white);
            gradient.setColorAt(1, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
            painter.fillRect(rect(), gradient);
            if (!waitingForPicture) {
                QFont font(QStringLiteral("Calibri"));
                font.setPointSize(statusFontPointSize());
                painter.setFont(font);
                painter.setPen(QColor::fromRgbF(0.75f, 0.75f, 0.75f));
                painter.drawText(rect(), Qt::AlignCenter, statusText());
            }
        }
    }
    // Only now, with the painter closed, may the camera send the next frame.
    if (throttle)
        throttle->framePainted(this);
}

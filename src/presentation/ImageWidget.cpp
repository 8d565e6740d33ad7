#include "ImageWidget.h"

#include "ShownMediaRecord.h"

#include <MessageBox.h>
#include <ThreadHandOver.h>

#include <QFile>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <functional>

namespace {

// Up to a megapixel decodes in a few milliseconds in any format, so the picture can be on screen
// before setImage() returns; anything larger goes to the decoder thread.
constexpr qint64 SyncDecodePixels = 1'000'000;

// A decode still runs for seconds once its result is no longer wanted, unless the file stops
// giving it data: every image handler gives up at the first read that fails.
class CancellableFile : public QFile
{
public:
    CancellableFile(const QString &path, std::shared_ptr<std::atomic<bool>> cancelled)
        : QFile(path)
        , cancelled(std::move(cancelled))
    { }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (cancelled->load(std::memory_order_relaxed))
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    std::shared_ptr<std::atomic<bool>> cancelled;
};

QImage decodePicture(QImageReader &reader, const QSize &scaledSize)
{
    reader.setAutoTransform(true);
    if (scaledSize.isValid())
        reader.setScaledSize(scaledSize);
    // Formats that cannot decode at a smaller size (BMP, TIFF) are decoded whole first; Qt's own
    // allocation limit would refuse a 600 dpi page scan, so the limit is the picture size
    // accepted above, at four bytes a pixel.
    reader.setAllocationLimit(int(ImageWidget::MaxPixels * 4 / (1024 * 1024)) + 1);
    QImage picture = reader.read();
    // Painting a format the paint engine blits directly keeps the GUI thread out of conversions.
    if (!picture.isNull())
        picture.convertTo(picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                    : QImage::Format_RGB32);
    return picture;
}

} // namespace

ImageWidget::ImageWidget(QWidget *parent, std::shared_ptr<ShownMediaRecord> record)
    : QWidget(parent)
    , record(record ? std::move(record) : std::make_shared<ShownMediaRecord>())
{
    // Room for the wanted decode beside a few cancelled ones that have not reached their next
    // read yet; more only when pictures are asked for faster than a read takes.
    decoder.setMaxThreadCount(4);
    decoder.setObjectName(QStringLiteral("ImageDecoder"));
}

ImageWidget::~ImageWidget()
{
    // A running decode posts its result to this object, so it must end while the object is
    // whole; cancelled, it ends at its next read rather than after the whole picture.
    abandonDecode();
    decoder.waitForDone();
}

int ImageWidget::setImage(const QString &path)
{
    abandonDecode();
    shownImage = QImage();
    fullSize = QSize();
    imagePath = path;
    record->setShownImage(path);
    update();

    // Only the header is read here, so a file that is no picture is refused at once whatever its
    // size, and the main window can size the widget before the picture is decoded.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        reportInvalidFormat();
        return -1;
    }
    const QSize stored = reader.size();
    const qint64 pixels = qint64(stored.width()) * stored.height();
    if (stored.isValid() && pixels > MaxPixels) {
        reportInvalidFormat();
        return -1;
    }
    QSize scaledSize;
    if (stored.isValid()) {
        const bool turned
                = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        fullSize = turned ? stored.transposed() : stored;
        QSize shownSize = fullSize;
        const QSize bound = decodeBound();
        if (fullSize.width() > bound.width() || fullSize.height() > bound.height())
            shownSize = fullSize.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        // The reader scales the picture as stored and turns it upright afterwards.
        if (shownSize != fullSize)
            scaledSize = turned ? shownSize.transposed() : shownSize;
        if (pixels > SyncDecodePixels) {
            startDecode(reader.format(), scaledSize);
            return 1;
        }
    }
    // Small pictures decode here, and so do those of a format whose header does not give the
    // size: such pictures are rare and small, and are decoded in full.
    const QImage picture = decodePicture(reader, scaledSize);
    if (picture.isNull()) {
        fullSize = QSize();
        reportInvalidFormat();
        return -1;
    }
    if (!fullSize.isValid())
        fullSize = picture.size();
    shownImage = picture;
    Q_EMIT imageShown();
    return 1;
}

void ImageWidget::clear()
{
    abandonDecode();
    shownImage = QImage();
    fullSize = QSize();
    imagePath.clear();
    record->setShownImage(QString());
    update();
}

QSize ImageWidget::fitSize(const QSize &size) const
{
    if (!hasImage())
        return size;
    return fullSize.scaled(size, Qt::KeepAspectRatio);
}

int ImageWidget::placeholderPointSize(int width)
{
    // Scales with the widget so the text keeps its proportion from a split pane to full screen.
    return std::max(1, int(std::lround(40.0 * width / 640.0)));
}

void ImageWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!shownImage.isNull()) {
        painter.drawImage(rect(), shownImage);
        return;
    }

    QLinearGradient background(rect().topLeft(), rect().bottomLeft());
    background.setColorAt(0, Qt::white);
    background.setColorAt(1, QColor::fromRgbF(0.8f, 0.8f, 0.8f));
    painter.fillRect(rect(), background);
    // While a picture is still being decoded there is media, so the placeholder text would lie.
    if (hasImage())
        return;

    QFont font(QStringLiteral("Calibri"));
    font.setPointSize(placeholderPointSize(width()));
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.75f, 0.75f, 0.75f));
    painter.drawText(rect(), Qt::AlignCenter, tr("No Media"));
}

QSize ImageWidget::decodeBound() const
{
    // The main window resizes this widget to fit the picture only after setImage(), and full
    // screen gives it the whole screen, so decode for the larger of the widget and its screen:
    // sharp in every size it can take, without a second decode.
    const qreal ratio = devicePixelRatioF();
    QSize bound(qRound(width() * ratio), qRound(height() * ratio));
    if (const QScreen *display = screen())
        bound = bound.expandedTo(display->size() * display->devicePixelRatio());
    return bound.expandedTo(QSize(1, 1));
}

void ImageWidget::abandonDecode()
{
    ++generation;
    decoder.clear();
    if (decodeCancelled)
        decodeCancelled->store(true, std::memory_order_relaxed);
    decodeCancelled.reset();
}

void ImageWidget::startDecode(const QByteArray &format, const QSize &scaledSize)
{
    const quint64 request = generation;
    const QString path = imagePath;
    const auto cancelled = std::make_shared<std::atomic<bool>>(false);
    decodeCancelled = cancelled;
    std::function<void()> decode = [this, request, path, format, scaledSize, cancelled] {
        ThreadHandOver::received();
        CancellableFile file(path, cancelled);
        QImage picture;
        if (file.open(QIODevice::ReadOnly)) {
            QImageReader reader(&file, format);
            picture = decodePicture(reader, scaledSize);
        }
        // Nobody wants the picture any more; its reads may have failed half-way, too.
        if (cancelled->load(std::memory_order_relaxed))
            return;
        ThreadHandOver::published();
        QMetaObject::invokeMethod(
                this,
                [this, request, picture] {
                    ThreadHandOver::received();
                    decoded(request, picture);
                },
                Qt::QueuedConnection);
    };
    ThreadHandOver::published();
    decoder.start(std::move(decode));
}

void ImageWidget::decoded(quint64 request, const QImage &picture)
{
    if (request != generation)
        return;
    if (picture.isNull()) {
        // The header looked like a picture but the data did not decode; the caller already had
        // its answer, so it learns through imageFailed(), unless another picture was asked for
        // while the message was open.
        fullSize = QSize();
        update();
        const QString failed = imagePath;
        reportInvalidFormat();
        if (request == generation)
            Q_EMIT imageFailed(failed);
        return;
    }
    shownImage = picture;
    update();
    Q_EMIT imageShown();
}

void ImageWidget::reportInvalidFormat()
{
    MessageBox::Question question;
    question.text = tr("Invalid format.");
    MessageBox::ask(question);
}

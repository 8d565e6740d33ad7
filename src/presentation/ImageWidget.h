#pragma once

#include <QImage>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <atomic>
#include <memory>

class ShownMediaRecord;

/// Shows one still picture, or a "No Media" placeholder when there is none.
///
/// The main window sizes the widget to fitSize() of its display area, so the picture is always
/// drawn over the whole widget. Pictures are decoded at the size they can be shown at, never at
/// full resolution, and large ones off the GUI thread: setImage() answers at once from the file's
/// header and the picture appears when imageShown() is emitted. A newer setImage(), clear() or
/// the widget's end abandons a decode still running at its next read of the file.
class ImageWidget : public QWidget
{
    Q_OBJECT

public:
    /// `record` receives the path of the picture on screen; without one the widget keeps its own.
    explicit ImageWidget(QWidget *parent = nullptr, std::shared_ptr<ShownMediaRecord> record = {});
    ~ImageWidget() override;

    /// Pictures with more pixels are refused from their header. 250 megapixels take in the
    /// largest photos cameras write (200-megapixel phones, 150-megapixel medium format); beyond
    /// lie stitched scans and composites of 400 megapixels and more, whose decode would keep a
    /// core busy for ten seconds to show a picture no screen can show at its size.
    static constexpr qint64 MaxPixels = 250'000'000;

    /// Starts showing the picture at `path`: 1 when it is a picture Velora can read, -1 (after
    /// telling the user "Invalid format.") when it is not or is larger than MaxPixels.
    int setImage(const QString &path);
    /// Drops the picture and shows the placeholder.
    void clear();

    /// The largest size within `size` with the picture's aspect ratio; `size` without a picture.
    QSize fitSize(const QSize &size) const;

    /// The path last given to setImage(), empty after clear().
    QString path() const { return imagePath; }
    /// True from a successful setImage() until the next setImage() or clear().
    bool hasImage() const { return fullSize.isValid(); }
    /// The picture as decoded for display; null while it is still being decoded.
    QImage image() const { return shownImage; }

    std::shared_ptr<ShownMediaRecord> shownMediaRecord() const { return record; }

    /// The point size of the "No Media" text on a widget `width` pixels wide.
    static int placeholderPointSize(int width);

Q_SIGNALS:
    /// The decoded picture of the current setImage() is ready and painted.
    void imageShown();
    /// The file's header was readable but its picture was not; the user has been told.
    void imageFailed(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize decodeBound() const;
    void abandonDecode();
    void startDecode(const QByteArray &format, const QSize &scaledSize);
    void decoded(quint64 request, const QImage &picture);
    void reportInvalidFormat();

    std::shared_ptr<ShownMediaRecord> record;
    QString imagePath;
    // The picture's size upright and at full resolution, known from the header before decoding.
    QSize fullSize;
    QImage shownImage;
    // Counts requests so that a decode finishing after a newer setImage() or clear() is dropped.
    quint64 generation = 0;
    // Set to make the running decode's reads fail, so that it stops at its next read.
    std::shared_ptr<std::atomic<bool>> decodeCancelled;
    // Only the latest decode is wanted; the others are cancelled and only unwind, on threads of
    // their own so that the newer picture never waits for them.
    QThreadPool decoder;
};

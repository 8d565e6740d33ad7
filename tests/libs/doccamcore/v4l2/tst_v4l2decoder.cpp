#include <VeloraTest.h>
#include <v4l2/V4l2DeviceDescription.h>
#include <v4l2/V4l2FrameDecoder.h>

#include <QBuffer>
#include <QPainter>

namespace {

/// Four flat colour blocks, large enough that JPEG's 8x8 and chroma blocks sit inside them.
QImage blocks(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    painter.fillRect(0, 0, w, h, QColor(220, 30, 40));
    painter.fillRect(w, 0, size.width() - w, h, QColor(20, 200, 60));
    painter.fillRect(0, h, w, size.height() - h, QColor(30, 50, 210));
    painter.fillRect(w, h, size.width() - w, size.height() - h, QColor(250, 250, 250));
    return image;
}

QByteArray jpeg(const QImage &image, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

const uchar *data(const QByteArray &bytes)
{
    return reinterpret_cast<const uchar *>(bytes.constData());
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
            && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

QString describe(QRgb rgb)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb));
}

} // namespace

class TestV4l2Decoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mjpegDecodesToTheEncodedPicture_data()
    {
        QTest::addColumn<QSize>("encoded");
        QTest::addColumn<QSize>("atLeast");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("whole") << QSize(64, 48) << QSize() << QSize(64, 48);
        // A camera may send a frame of another size after a mode switch; the picture follows
        // the frame, not the negotiated format.
        QTest::newRow("the frame's own size") << QSize(32, 16) << QSize() << QSize(32, 16);
        QTest::newRow("half covers the view") << QSize(128, 96) << QSize(60, 40) << QSize(64, 48);
        // Never smaller than asked.
        QTest::newRow("a pixel wider than half")
                << QSize(128, 96) << QSize(65, 40) << QSize(128, 96);
        QTest::newRow("an eighth") << QSize(128, 96) << QSize(16, 12) << QSize(16, 12);
    }

    void mjpegDecodesToTheEncodedPicture()
    {
        QFETCH(QSize, encoded);
        QFETCH(QSize, atLeast);
        QFETCH(QSize, decoded);
        const QImage original = blocks(encoded);
        const QByteArray bytes = jpeg(original, 95);
        V4l2FrameDecoder decoder;
        const QImage image = decoder.decode(V4l2::PixelFormatMjpeg, data(bytes),
                                            std::size_t(bytes.size()), QSize(640, 480), 0, atLeast);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), decoded);
        // The middle of each block, away from the edges where JPEG's ringing lives.
        for (QPoint p : {QPoint(1, 1), QPoint(3, 1), QPoint(1, 3), QPoint(3, 3)}) {
            const QRgb got = image.pixel(p.x() * decoded.width() / 4, p.y() * decoded.height() / 4);
            const QRgb sent
                    = original.pixel(p.x() * encoded.width() / 4, p.y() * encoded.height() / 4);
            QVERIFY2(near(got, sent, 12), qPrintable(describe(got) + " against " + describe(sent)));
        }
        // RGB32 promises an opaque 0xff in the top byte; painting relies on it.
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(qAlpha(line[x]), 255);
        }
    }

    void mjpegReusesFramesNobodyHolds()
    {
        const QByteArray bytes = jpeg(blocks(QSize(64, 48)));
        V4l2FrameDecoder decoder;
        QImage first = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        const uchar *firstPixels = first.constBits();
        const QImage held = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        // The first frame is still held: the second must not overwrite it.
        QVERIFY(held.constBits() != firstPixels);
        first = QImage();
        const QImage third = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        QCOMPARE(third.constBits(), firstPixels);
        QVERIFY(near(third.pixel(5, 5), held.pixel(5, 5), 0));
    }

    void damagedFramesAreDropped()
    {
        V4l2FrameDecoder decoder;
        const QByteArray garbage(4096, '\x5a');
        QVERIFY(decoder.decodeMjpeg(data(garbage), std::size_t(garbage.size())).isNull());
        QVERIFY(decoder.decodeMjpeg(nullptr, 0).isNull());
        // A frame cut short by the USB transfer must not be read past its end.
        const QByteArray cut(640 * 2 * 479, '\x80');
        QVERIFY(decoder.decode(V4l2::PixelFormatYuyv, data(cut), std::size_t(cut.size()),
                               QSize(640, 480), 1280)
                        .isNull());

        // The decoder is still usable after a failure.
        const QByteArray bytes = jpeg(blocks(QSize(16, 16)));
        QCOMPARE(decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size())).size(), QSize(16, 16));
    }

    void yuyvConvertsWithBt601CoefficientsHonouringPaddingAndPixelOrder()
    {
        // 4x3 pixels, Y0 U Y1 V for each pair, with 4 bytes of padding per line filled with a
        // value that would show.
        const QByteArray frame
                = QByteArray::fromHex("51 5a 51 f0 91 36 91 22 aa aa aa aa" // red, green
                                      "eb 80 10 80 29 f0 29 6e aa aa aa aa" // white, black, blue
                                      "7e 80 7e 80 00 80 ff 80 aa aa aa aa"); // grey, clamped
        const int stride = 12;
        V4l2FrameDecoder decoder;
        const QImage image = decoder.decode(V4l2::PixelFormatYuyv, data(frame),
                                            std::size_t(frame.size()), QSize(4, 3), stride);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), QSize(4, 3));
        const QList<QRgb> expected
                = {qRgb(255, 0, 0),     qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 255, 0),
                   qRgb(255, 255, 255), qRgb(0, 0, 0),       qRgb(0, 0, 255), qRgb(0, 0, 255),
                   qRgb(128, 128, 128), qRgb(128, 128, 128), qRgb(0, 0, 0),   qRgb(255, 255, 255)};
        for (int i = 0; i < expected.size(); ++i) {
            const QRgb got = image.pixel(i % 4, i / 4);
            QVERIFY2(near(got, expected[i], 3),
                     qPrintable(QStringLiteral("pixel %1: ").arg(i) + describe(got)));
        }
    }
};

VELORA_TEST_MAIN(TestV4l2Decoder)
#include "tst_v4l2decoder.moc"

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
        QTest::addColumn<QSize>("fitIn");
        QTest::addColumn<QSize>("decoded");
        QTest::addColumn<bool>("grey");
        // A camera may send a frame of another size after a mode switch; the picture follows
        // the frame, not the negotiated format.
        QTest::newRow("the frame's own size") << QSize(32, 16) << QSize() << QSize(32, 16) << false;
        // Never enlarged: the view scales a small picture up itself.
        QTest::newRow("a view larger than the frame")
                << QSize(64, 48) << QSize(200, 100) << QSize(64, 48) << false;
        QTest::newRow("half is the shown size")
                << QSize(128, 96) << QSize(64, 48) << QSize(64, 48) << false;
        // Shrunk to the size it is shown at, of its own shape, from the halving that covers it.
        QTest::newRow("a pixel wider than half")
                << QSize(128, 96) << QSize(65, 400) << QSize(65, 48) << false;
        QTest::newRow("a view of another shape")
                << QSize(128, 72) << QSize(100, 100) << QSize(100, 56) << false;
        QTest::newRow("odd sizes")
                << QSize(1001, 601) << QSize(641, 479) << QSize(641, 384) << false;
        // Turned a quarter, the picture's height fills the view's width.
        QTest::newRow("a view turned on its side")
                << QSize(120, 90) << QSize(45, 80) << QSize(45, 33) << false;
        QTest::newRow("grey") << QSize(120, 90) << QSize(61, 61) << QSize(61, 45) << true;
    }

    void mjpegDecodesToTheEncodedPicture()
    {
        QFETCH(QSize, encoded);
        QFETCH(QSize, fitIn);
        QFETCH(QSize, decoded);
        QFETCH(bool, grey);
        QImage original = blocks(encoded);
        if (grey)
            original = original.convertToFormat(QImage::Format_Grayscale8);
        const QByteArray bytes = jpeg(original, 95);
        // One decoder for every row, as for a stream whose view changes size.
        static V4l2FrameDecoder decoder;
        const QImage image = decoder.decode(V4l2::PixelFormatMjpeg, data(bytes),
                                            std::size_t(bytes.size()), QSize(640, 480), 0, fitIn);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), decoded);
        // The middle of each block, away from the edges where JPEG's ringing lives, and the
        // corners, which the last rows and columns of a shrink reach.
        const QList<QPointF> places = {{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75},
                                       {0, 0},       {1, 0},       {0, 1},       {1, 1}};
        for (QPointF p : places) {
            const QRgb got = image.pixel(int(p.x() * (decoded.width() - 1)),
                                         int(p.y() * (decoded.height() - 1)));
            const QRgb sent = original.pixel(int(p.x() * (encoded.width() - 1)),
                                             int(p.y() * (encoded.height() - 1)));
            QVERIFY2(near(got, sent, 12), qPrintable(describe(got) + " against " + describe(sent)));
        }
        // RGB32 promises an opaque 0xff in the top byte; painting relies on it.
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(qAlpha(line[x]), 255);
        }
    }

    void damagedFramesAreDroppedAndFramesNobodyHoldsReused()
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
        const QByteArray bytes = jpeg(blocks(QSize(64, 48)));
        QImage first = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        QCOMPARE(first.size(), QSize(64, 48));
        const uchar *firstPixels = first.constBits();
        const QImage held = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        // The first frame is still held: the second must not overwrite it.
        QVERIFY(held.constBits() != firstPixels);
        first = QImage();
        const QImage third = decoder.decodeMjpeg(data(bytes), std::size_t(bytes.size()));
        QCOMPARE(third.constBits(), firstPixels);
        QVERIFY(near(third.pixel(5, 5), held.pixel(5, 5), 0));
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

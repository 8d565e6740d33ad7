#include <ImageWidget.h>
#include <MessageBox.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>

#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

/// Writes `picture` as a JPEG file carrying the EXIF orientation `orientation` (1 to 8; 6 asks
/// the viewer to turn the stored picture clockwise), as cameras held on their side do. Qt's own
/// writer turns the pixels instead of tagging them, so the tag is added here. A valid `claimed`
/// size goes into the header instead of the picture's own, as in a damaged or hostile file.
QString writeJpeg(const QString &path, const QImage &picture, int orientation = 0,
                  const QSize &claimed = QSize())
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "jpeg").write(picture))
        qFatal("cannot encode %s", qPrintable(path));
    if (claimed.isValid()) {
        // The start-of-frame segment: marker, length, precision, then height and width.
        char *frame = bytes.data() + bytes.indexOf("\xFF\xC0");
        qToBigEndian(quint16(claimed.height()), frame + 5);
        qToBigEndian(quint16(claimed.width()), frame + 7);
    }
    if (orientation != 0) {
        // An APP1 segment right after the start-of-image marker: "Exif", a big-endian TIFF
        // header and one directory with the single orientation entry.
        const char exif[] = "\xFF\xE1\x00\x22"
                            "Exif\0\0"
                            "MM\x00\x2A\x00\x00\x00\x08"
                            "\x00\x01"
                            "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x00\x00\x00"
                            "\x00\x00\x00\x00";
        QByteArray segment(exif, sizeof(exif) - 1);
        segment[4 + 6 + 8 + 2 + 9] = char(orientation);
        bytes.insert(2, segment);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

/// A black 32-bit BMP: a header and a hole the file system does not store, so that a picture
/// of a hundred megabytes, which takes a while to decode, costs nothing to write.
QString writeBlackBmp(const QString &path, const QSize &size)
{
    const quint32 data = quint32(size.width()) * quint32(size.height()) * 4;
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0x4D42) << quint32(54 + data) << quint32(0) << quint32(54) << quint32(40)
        << qint32(size.width()) << qint32(size.height()) << quint16(1) << quint16(32) << quint32(0)
        << data << quint32(2835) << quint32(2835) << quint32(0) << quint32(0);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != 54 || !file.resize(54 + data))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

/// The bytes every thread of this process has read from files so far.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/io");
    return io.readLine().mid(int(qstrlen("rchar:"))).trimmed().toLongLong();
}

QImage filled(const QSize &size, const QColor &colour)
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

bool near(QRgb pixel, const QColor &colour, int tolerance = 24)
{
    return qAbs(qRed(pixel) - colour.red()) <= tolerance
            && qAbs(qGreen(pixel) - colour.green()) <= tolerance
            && qAbs(qBlue(pixel) - colour.blue()) <= tolerance;
}

/// The height of the rows holding pixels clearly darker than the placeholder's gradient, which
/// runs from 255 at the top to 204 at the bottom: the "No Media" text.
int textHeight(const QImage &shot)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < shot.height(); ++y) {
        const int gradient = 255 - 51 * y / qMax(1, shot.height() - 1);
        for (int x = 0; x < shot.width(); ++x) {
            if (qGray(shot.pixel(x, y)) < gradient - 10) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
        }
    }
    return top < 0 ? 0 : bottom - top + 1;
}

} // namespace

class TestImageViewer : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QList<MessageBox::Question> asked;

    QString file(const QString &name) const { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked.append(question);
            return MessageBox::defaultAnswer(question);
        });
    }

    void init() { asked.clear(); }

    void refusedFromTheHeader_data()
    {
        QTest::addColumn<QSize>("claimed");
        QTest::addColumn<int>("result");
        QTest::newRow("20000 x 20000") << QSize(20000, 20000) << -1;
        QTest::newRow("one row over the limit") << QSize(25000, 10001) << -1;
        QTest::newRow("at the limit") << QSize(25000, 10000) << 1;
    }

    void refusedFromTheHeader()
    {
        QFETCH(QSize, claimed);
        QFETCH(int, result);
        const QString path = writeJpeg(file(QStringLiteral("claims-%1.jpg").arg(claimed.height())),
                                       filled(QSize(64, 48), Qt::gray), 0, claimed);
        auto record = std::make_shared<ShownMediaRecord>();
        ImageWidget widget(nullptr, record);
        QCOMPARE(widget.setImage(path), result);
        QCOMPARE(widget.hasImage(), result == 1);
        QCOMPARE(widget.path(), path);
        QCOMPARE(record->shownImage(), path);
        QCOMPARE(asked.size(), result == 1 ? 0 : 1);
        if (result == -1) {
            QCOMPARE(asked.first().text, QStringLiteral("Invalid format."));
            QCOMPARE(asked.first().parent, nullptr);
            QCOMPARE(widget.fitSize(QSize(300, 200)), QSize(300, 200));
        }
    }

    void fitSize_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("16:9 in 4:3")
                << QSize(1920, 1080) << 0 << QSize(1024, 768) << QSize(1024, 576);
        QTest::newRow("small grows") << QSize(100, 100) << 0 << QSize(640, 480) << QSize(480, 480);
        QTest::newRow("turned by its tag")
                << QSize(400, 300) << 6 << QSize(1000, 1000) << QSize(750, 1000);
        QTest::newRow("48 megapixels turned by its tag")
                << QSize(8000, 6000) << 6 << QSize(1000, 1000) << QSize(750, 1000);
    }

    void fitSize()
    {
        QFETCH(QSize, picture);
        QFETCH(int, orientation);
        QFETCH(QSize, area);
        QFETCH(QSize, fitted);
        // Stored with yellow on top; turned clockwise by its tag, yellow is on the right.
        QImage stored = filled(picture, Qt::darkCyan);
        QPainter(&stored).fillRect(0, 0, picture.width(), picture.height() / 2, Qt::yellow);
        const QString path = writeJpeg(file(QStringLiteral("fit-%1x%2-%3.jpg")
                                                    .arg(picture.width())
                                                    .arg(picture.height())
                                                    .arg(orientation)),
                                       stored, orientation);
        stored = QImage();
        ImageWidget widget;
        widget.resize(640, 480);
        QCOMPARE(widget.setImage(path), 1);
        // Answered from the header; above a megapixel the picture is decoded off the GUI thread.
        QCOMPARE(widget.fitSize(area), fitted);
        QCOMPARE(widget.image().isNull(), qint64(picture.width()) * picture.height() > 1000000);
        QTRY_VERIFY_WITH_TIMEOUT(!widget.image().isNull(), 20000);
        // Decoded no larger than the larger of widget and screen can show, upright.
        const QSize upright = orientation == 6 ? picture.transposed() : picture;
        const QSize bound = (widget.screen()->size() * widget.screen()->devicePixelRatio())
                                    .expandedTo(widget.size());
        QCOMPARE(widget.image().size(),
                 upright.boundedTo(bound) == upright ? upright
                                                     : upright.scaled(bound, Qt::KeepAspectRatio));
        // Painted over the whole widget, which the main window gives the fitted size.
        widget.resize(fitted);
        const QImage shot = widget.grab().toImage();
        const QPoint yellow = orientation == 6 ? QPoint(shot.width() - 5, shot.height() / 2)
                                               : QPoint(shot.width() / 2, 5);
        QVERIFY(near(shot.pixel(yellow), Qt::yellow));
        QVERIFY(near(shot.pixel(shot.width() - 1 - yellow.x(), shot.height() - 1 - yellow.y()),
                     Qt::darkCyan));
        QVERIFY(asked.isEmpty());
    }

    void pictureDecodedWholeBeyondQtsOwnLimitIsShown()
    {
        // 36 megapixels of BMP are decoded at full size before scaling: 144 MB, more than Qt
        // allows by default, though well inside the size Velora states it shows.
        const QString scan = writeBlackBmp(file(QStringLiteral("scan.bmp")), QSize(6000, 6000));
        ImageWidget widget;
        QSignalSpy shown(&widget, &ImageWidget::imageShown);
        QCOMPARE(widget.setImage(scan), 1);
        QVERIFY(shown.wait(20000));
        QVERIFY(asked.isEmpty());
        QVERIFY(near(widget.image().pixel(10, 10), Qt::black));
    }

    void olderDecodeIsAbandoned_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("a newer picture") << QStringLiteral("newer");
        QTest::newRow("cleared, then a newer picture") << QStringLiteral("clear");
        QTest::newRow("the window closes") << QStringLiteral("close");
    }

    void olderDecodeIsAbandoned()
    {
        QFETCH(QString, then);
        // A decode that runs to its end reads the whole file; one that is abandoned stops at
        // its next read. The widget's end waits for its decodes, so the count is complete.
        const QString huge = writeBlackBmp(file(QStringLiteral("huge.bmp")), QSize(5000, 5000));
        const QString newer = writeJpeg(file(QStringLiteral("newer.jpg")),
                                        filled(QSize(2000, 3000), Qt::magenta));
        const qint64 before = bytesRead();
        {
            auto record = std::make_shared<ShownMediaRecord>();
            ImageWidget widget(nullptr, record);
            QSignalSpy shown(&widget, &ImageWidget::imageShown);
            QCOMPARE(widget.setImage(huge), 1);
            if (then == QLatin1String("clear")) {
                widget.clear();
                QVERIFY(!widget.hasImage());
                QVERIFY(widget.path().isEmpty());
                QVERIFY(!record->isOnScreen(huge));
                // The placeholder: "No Media" over a gradient from white to grey 0.8, its
                // size following the widget's width.
                QCOMPARE(ImageWidget::placeholderPointSize(640), 40);
                widget.resize(640, 480);
                const QImage narrow = widget.grab().toImage();
                widget.resize(1280, 960);
                const int small = textHeight(narrow), large = textHeight(widget.grab().toImage());
                QVERIFY(near(narrow.pixel(5, 0), Qt::white, 3));
                QVERIFY(near(narrow.pixel(5, 479), QColor(204, 204, 204), 3));
                QVERIFY2(small > 10 && large > small * 1.7 && large < small * 2.3,
                         qPrintable(QStringLiteral("%1 / %2").arg(large).arg(small)));
            }
            if (then != QLatin1String("close")) {
                QCOMPARE(widget.setImage(newer), 1);
                QVERIFY(shown.wait(20000));
                QCOMPARE(shown.size(), 1);
                QVERIFY(near(widget.image().pixel(10, 10), Qt::magenta));
            }
        }
        const qint64 read = bytesRead() - before;
        QVERIFY2(read < QFileInfo(huge).size() / 4, qPrintable(QString::number(read)));
        QVERIFY(asked.isEmpty());
    }
};

VELORA_TEST_MAIN(TestImageViewer)
#include "tst_imageviewer.moc"

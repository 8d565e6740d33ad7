#include <ImageControlPanel.h>
#include <ImageWidget.h>
#include <MessageBox.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

/// Writes `picture` as a JPEG file carrying the EXIF orientation `orientation` (1 to 8; 6 asks
/// the viewer to turn the stored picture clockwise), as cameras held on their side do. Qt's own
/// writer turns the pixels instead of tagging them, so the tag is added here.
QString writeJpeg(const QString &path, const QImage &picture, int orientation = 0)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "jpeg").write(picture))
        qFatal("cannot encode %s", qPrintable(path));
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

QString writePng(const QString &path, const QImage &picture)
{
    if (!picture.save(path, "PNG"))
        qFatal("cannot write %s", qPrintable(path));
    return path;
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

    void placeholderPointSize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("points");
        QTest::newRow("640") << 640 << 40;
        QTest::newRow("1280") << 1280 << 80;
        QTest::newRow("320") << 320 << 20;
        QTest::newRow("1000 rounds up") << 1000 << 63;
        QTest::newRow("100 rounds down") << 100 << 6;
    }

    void placeholderPointSize()
    {
        QFETCH(int, width);
        QFETCH(int, points);
        QCOMPARE(ImageWidget::placeholderPointSize(width), points);
    }

    void placeholderTextGrowsWithTheWidget()
    {
        ImageWidget widget;
        widget.resize(640, 480);
        const QImage narrow = widget.grab().toImage();
        widget.resize(1280, 960);
        const QImage wide = widget.grab().toImage();

        // The gradient: white at the top, grey 0.8 at the bottom.
        QVERIFY(near(narrow.pixel(5, 0), Qt::white, 3));
        QVERIFY(near(narrow.pixel(5, narrow.height() - 1), QColor(204, 204, 204), 3));
        const int small = textHeight(narrow), large = textHeight(wide);
        QVERIFY2(small > 10, qPrintable(QString::number(small)));
        // Twice the width, twice the point size.
        QVERIFY2(large > small * 1.7 && large < small * 2.3,
                 qPrintable(QStringLiteral("%1 / %2").arg(large).arg(small)));
    }

    void textFileNamedJpgIsInvalidFormat()
    {
        const QString path = file(QStringLiteral("notes.jpg"));
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Homework for Monday: chapter 4, exercises 1 to 12.\n");
        text.close();

        auto record = std::make_shared<ShownMediaRecord>();
        ImageWidget widget(nullptr, record);
        QSignalSpy failed(&widget, &ImageWidget::imageFailed);
        QCOMPARE(widget.setImage(path), -1);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().text, QStringLiteral("Invalid format."));
        QCOMPARE(asked.first().parent, nullptr);
        QVERIFY(!widget.hasImage());
        QCOMPARE(widget.path(), path);
        QCOMPARE(record->shownImage(), path);
        QCOMPARE(widget.fitSize(QSize(300, 200)), QSize(300, 200));
        // Nothing arrives later either: the refusal was the whole answer.
        QTest::qWait(50);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(failed.size(), 0);
    }

    void fitSize_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("4:3 in a square")
                << QSize(400, 300) << 0 << QSize(1000, 1000) << QSize(1000, 750);
        QTest::newRow("3:4 in a square")
                << QSize(300, 400) << 0 << QSize(1000, 1000) << QSize(750, 1000);
        QTest::newRow("16:9 in 4:3")
                << QSize(1920, 1080) << 0 << QSize(1024, 768) << QSize(1024, 576);
        QTest::newRow("small grows") << QSize(100, 100) << 0 << QSize(640, 480) << QSize(480, 480);
        QTest::newRow("turned by its tag")
                << QSize(400, 300) << 6 << QSize(1000, 1000) << QSize(750, 1000);
    }

    void fitSize()
    {
        QFETCH(QSize, picture);
        QFETCH(int, orientation);
        QFETCH(QSize, area);
        QFETCH(QSize, fitted);
        const QString path = writeJpeg(file(QStringLiteral("fit-%1x%2-%3.jpg")
                                                    .arg(picture.width())
                                                    .arg(picture.height())
                                                    .arg(orientation)),
                                       filled(picture, Qt::darkCyan), orientation);
        ImageWidget widget;
        QCOMPARE(widget.fitSize(area), area);
        QCOMPARE(widget.setImage(path), 1);
        QCOMPARE(widget.fitSize(area), fitted);
        QVERIFY(asked.isEmpty());
    }

    void exifOrientationIsShownUpright()
    {
        // Upright: red above blue. Stored lying on its side with a tag saying "turn clockwise",
        // the way a camera held in portrait writes it.
        QImage upright(160, 320, QImage::Format_RGB32);
        QPainter painter(&upright);
        painter.fillRect(0, 0, 160, 160, Qt::red);
        painter.fillRect(0, 160, 160, 160, Qt::blue);
        painter.end();
        const QImage stored = upright.transformed(QTransform().rotate(-90));
        QCOMPARE(stored.size(), QSize(320, 160));
        const QString path = writeJpeg(file(QStringLiteral("portrait.jpg")), stored, 6);

        ImageWidget widget;
        QCOMPARE(widget.setImage(path), 1);
        QTRY_VERIFY(!widget.image().isNull());
        const QImage shown = widget.image();
        QCOMPARE(shown.size(), QSize(160, 320));
        QVERIFY(near(shown.pixel(80, 40), Qt::red));
        QVERIFY(near(shown.pixel(80, 280), Qt::blue));
        QCOMPARE(widget.fitSize(QSize(1000, 1000)), QSize(500, 1000));
    }

    void largePictureIsDecodedAtDisplaySizeOffTheGuiThread()
    {
        // 48 megapixels, stored landscape and tagged to be shown portrait.
        QImage big = filled(QSize(8000, 6000), Qt::darkGreen);
        QPainter(&big).fillRect(0, 0, 8000, 3000, Qt::yellow);
        const QString path = writeJpeg(file(QStringLiteral("big.jpg")), big, 6);
        big = QImage();

        ImageWidget widget;
        widget.resize(640, 480);
        QSignalSpy shown(&widget, &ImageWidget::imageShown);
        QCOMPARE(widget.setImage(path), 1);
        // Answered from the header: the size is known, the picture is still being decoded.
        QVERIFY(widget.hasImage());
        QVERIFY(widget.image().isNull());
        QCOMPARE(widget.fitSize(QSize(1000, 1000)), QSize(750, 1000));

        QVERIFY(shown.wait(20000));
        const QImage picture = widget.image();
        const QSize screen = widget.screen()->size() * widget.screen()->devicePixelRatio();
        const QSize bound = screen.expandedTo(widget.size());
        QVERIFY2(picture.width() <= bound.width() && picture.height() <= bound.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height())));
        // As big as the bound allows, upright, with the picture's aspect ratio.
        QCOMPARE(picture.size(), QSize(6000, 8000).scaled(bound, Qt::KeepAspectRatio));
        // Stored with yellow on top; turned clockwise, yellow is on the right.
        QVERIFY(near(picture.pixel(picture.width() - 5, picture.height() / 2), Qt::yellow, 40));
        QVERIFY(near(picture.pixel(5, picture.height() / 2), Qt::darkGreen, 40));
        QVERIFY(asked.isEmpty());
    }

    void lateResultOfAnOlderPictureIsDropped()
    {
        const QString landscape = writeJpeg(file(QStringLiteral("landscape.jpg")),
                                            filled(QSize(3000, 2000), Qt::yellow));
        const QString portrait = writeJpeg(file(QStringLiteral("portrait-big.jpg")),
                                           filled(QSize(2000, 3000), Qt::magenta));
        ImageWidget widget;
        QSignalSpy shown(&widget, &ImageWidget::imageShown);
        QCOMPARE(widget.setImage(landscape), 1);
        QCOMPARE(widget.setImage(portrait), 1);
        QVERIFY(shown.wait(20000));
        QTest::qWait(100);
        QCOMPARE(shown.size(), 1);
        QVERIFY(widget.image().height() > widget.image().width());
        QVERIFY(near(widget.image().pixel(10, 10), Qt::magenta));

        // Cleared while decoding: nothing may appear afterwards.
        QCOMPARE(widget.setImage(landscape), 1);
        widget.clear();
        QTest::qWait(1500);
        QCOMPARE(shown.size(), 1);
        QVERIFY(widget.image().isNull());
    }

    void clearShowsThePlaceholderAgain()
    {
        const QString path
                = writePng(file(QStringLiteral("red.png")), filled(QSize(400, 300), Qt::red));
        auto record = std::make_shared<ShownMediaRecord>();
        ImageWidget widget(nullptr, record);
        widget.resize(400, 300);
        QCOMPARE(widget.setImage(path), 1);
        QCOMPARE(record->shownImage(), path);
        QVERIFY(record->isOnScreen(path));
        QTRY_VERIFY(!widget.image().isNull());
        QImage shot = widget.grab().toImage();
        QVERIFY(near(shot.pixel(5, 295), Qt::red, 2));

        widget.clear();
        QVERIFY(!widget.hasImage());
        QVERIFY(widget.path().isEmpty());
        QVERIFY(record->shownImage().isEmpty());
        QVERIFY(!record->isOnScreen(path));
        QCOMPARE(widget.fitSize(QSize(1000, 1000)), QSize(1000, 1000));
        shot = widget.grab().toImage();
        QVERIFY(near(shot.pixel(5, 0), Qt::white, 3));
        QVERIFY(near(shot.pixel(5, 299), QColor(204, 204, 204), 3));
        QVERIFY(textHeight(shot) > 10);
    }

    void splitModeChangedUI_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("changes");
        QTest::addColumn<bool>("closable");
        for (int mode : {0, 1, 2, 7, 8})
            QTest::addRow("mode %d", mode) << mode << true << true;
        for (int mode : {3, 4, 5, 6})
            QTest::addRow("mode %d", mode) << mode << true << false;
        for (int mode : {-1, 9, 42})
            QTest::addRow("mode %d", mode) << mode << false << false;
    }

    void splitModeChangedUI()
    {
        QFETCH(int, mode);
        QFETCH(bool, changes);
        QFETCH(bool, closable);
        ImageControlPanel panel;
        auto *close = panel.findChild<QToolButton *>(QStringLiteral("closeBtn"));
        auto *separator = panel.findChild<QWidget *>(QStringLiteral("line_2"));
        auto *otherSeparator = panel.findChild<QWidget *>(QStringLiteral("line"));
        QVERIFY(close && separator && otherSeparator);

        // From each starting state, so that "changes nothing" is seen to keep either one.
        for (int start : {0, 3}) {
            panel.splitModeChangedUI(start);
            const bool before = !close->isHidden();
            panel.splitModeChangedUI(mode);
            const bool expected = changes ? closable : before;
            QCOMPARE(!close->isHidden(), expected);
            QCOMPARE(!separator->isHidden(), expected);
            QVERIFY(!otherSeparator->isHidden());
        }
    }

    void controlPanelButtonsAsk()
    {
        ImageControlPanel panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QCOMPARE(panel.height(), 40);
        auto *close = panel.findChild<QToolButton *>(QStringLiteral("closeBtn"));
        auto *fullScreen = panel.findChild<QToolButton *>(QStringLiteral("fullScreenBtn"));
        QVERIFY(close && fullScreen);
        QCOMPARE(close->size(), QSize(31, 31));
        QCOMPARE(fullScreen->size(), QSize(31, 31));

        QSignalSpy fullScreenClicked(&panel, &ImageControlPanel::fullScreenClicked);
        QSignalSpy closeClicked(&panel, &ImageControlPanel::closeClicked);
        QTest::mouseClick(fullScreen, Qt::LeftButton);
        QVERIFY(panel.isFullScreenChecked());
        // Leaving full screen from outside the bar goes through the same button.
        panel.clickFullScreen();
        QVERIFY(!panel.isFullScreenChecked());
        QCOMPARE(fullScreenClicked.size(), 2);
        QCOMPARE(fullScreenClicked.at(0).at(0).toBool(), true);
        QCOMPARE(fullScreenClicked.at(1).at(0).toBool(), false);
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(closeClicked.size(), 1);
    }
};

VELORA_TEST_MAIN(TestImageViewer)
#include "tst_imageviewer.moc"

#include <SettingIntf.h>
#include <SharedComponent.h>
#include <VeloraTest.h>
#include <X11ScreenGrabber.h>

#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
const QRect windowArea(300, 200, 400, 300);
// One colour per quarter of the window, every byte different so that swapped channels show.
const QColor quarterColours[4] = {0xc81e32, 0x1ea050, 0x2846dc, 0xf0e6be};
enum Path { Shared, ForcedPlain, UnseenSegment };
constexpr QPoint hotSpots[2] = {{4, 6}, {1, 9}};

} // namespace

class TestScreenGrabber : public QObject
{
    Q_OBJECT

    QLabel window;
    QImage pattern{windowArea.size(), QImage::Format_RGB32};
    QImage pointerImages[2];
    QCursor pointers[2];

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("XDG_SESSION_TYPE");
        for (int i = 0; i < 4; ++i)
            QPainter(&pattern).fillRect(i % 2 * 200, i / 2 * 150, 200, 150, quarterColours[i]);
        window.setPixmap(QPixmap::fromImage(pattern));
        // Opaque, half-transparent and clear bands, the opaque one differing between the two.
        for (int which : {0, 1}) {
            QImage &image = pointerImages[which]
                    = QImage(16, 16, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter(&image).fillRect(0, 0, 16, 6, which ? QColor(0x204060) : QColor(Qt::black));
            QPainter(&image).fillRect(0, 6, 16, 6, QColor(255, 255, 255, 128));
            pointers[which]
                    = QCursor(QPixmap::fromImage(image), hotSpots[which].x(), hotSpots[which].y());
        }
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(windowArea);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void picturesShowTheScreenAndPointer_data()
    {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<Path>("path");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QRect>("grabbed");
        const QRect inside(350, 260, 300, 200);
        QTest::newRow("whole screen")
                << QRect() << Shared << QPoint(1900, 1060) << QRect(0, 0, 1920, 1080);
        QTest::newRow("area inside the window") << inside << Shared << QPoint(500, 300) << inside;
        QTest::newRow("without shared memory")
                << inside << ForcedPlain << QPoint(500, 300) << inside;
        QTest::newRow("segment the server cannot see")
                << inside << UnseenSegment << QPoint(500, 300) << inside;
        QTest::newRow("pointer cut by the area's corner")
                << inside << Shared << QPoint(352, 262) << inside;
        QTest::newRow("area past the screen's corner") << QRect(-100, -50, 600, 400) << Shared
                                                       << QPoint(450, 300) << QRect(0, 0, 500, 350);
    }

    void picturesShowTheScreenAndPointer()
    {
        QFETCH(QRect, area);
        QFETCH(Path, path);
        QFETCH(QPoint, pointer);
        QFETCH(QRect, grabbed);
        if (path == UnseenSegment && !VeloraTest::inRerun()) {
            // The server finds no segment made in another IPC namespace, as on another machine.
            QVERIFY(VeloraTest::rerunCurrentTest({u"unshare"_s, u"--ipc"_s}));
            return;
        }
        qputenv("VELORA_X11_GRAB_NO_SHM", path == ForcedPlain ? "1" : "0");
        QString error;
        const auto grabber = X11ScreenGrabber::create(area, &error);
        QVERIFY2(grabber, qPrintable(error));
        QCOMPARE(grabber->usesSharedMemory(), path == Shared);
        QCOMPARE(grabber->size(), grabbed.size());
        const QRect compared = windowArea.intersected(grabbed);
        // The same pointer moved, then another one: its picture is fetched again only then.
        for (const auto &[which, moved] : {std::pair{0, QPoint()}, {0, {9, 7}}, {1, {-2, 11}}}) {
            window.setCursor(pointers[which]);
            QCursor::setPos(pointer + moved);
            QCOMPARE(QCursor::pos(), pointer + moved); // also waits for the server to move it
            QImage expected = pattern;
            QPainter(&expected).drawImage(pointer + moved - hotSpots[which] - windowArea.topLeft(),
                                          pointerImages[which]);
            DesktopPicture picture;
            QVERIFY(grabber->grab(picture));
            const QImage got(picture.pixels, picture.width, picture.height, picture.bytesPerLine,
                             QImage::Format_RGB32);
            QCOMPARE(got.size(), grabbed.size());
            QCOMPARE(got.copy(compared.translated(-grabbed.topLeft())),
                     expected.copy(compared.translated(-windowArea.topLeft())));
        }
    }

    void sourceFollowsTheSessionUnlessSet_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("portal");
        QTest::newRow("X11") << QByteArray() << QString() << false;
        QTest::newRow("Wayland display") << "WAYLAND_DISPLAY"_ba << QString() << true;
        QTest::newRow("Wayland session") << "XDG_SESSION_TYPE"_ba << QString() << true;
        QTest::newRow("Wayland, set to X11") << "WAYLAND_DISPLAY"_ba << u"x11"_s << false;
        QTest::newRow("X11, set to the portal") << QByteArray() << u"portal"_s << true;
    }

    void sourceFollowsTheSessionUnlessSet()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, setting);
        QFETCH(bool, portal);
        ComponentRef<SettingIntf> settings;
        settings->setValue(QString::fromLatin1(ScreenGrabber::SourceKey), setting);
        if (!variable.isEmpty())
            qputenv(variable, variable == "WAYLAND_DISPLAY" ? "wayland-0" : "wayland");
        const bool chosen = ScreenGrabber::portalChosen();
        qunsetenv(variable);
        settings->setValue(QString::fromLatin1(ScreenGrabber::SourceKey), QString());
        QCOMPARE(chosen, portal);
    }

    void refusesWhatCannotBeRecorded_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QString>("error");
        // No session bus answers here, so no portal either.
        QTest::newRow("Wayland without a portal")
                << "WAYLAND_DISPLAY"_ba
                << "wayland-0"_ba << QRect() << u"no screen sharing"_s;
        QTest::newRow("no display")
                << "DISPLAY"_ba << QByteArray() << QRect() << u"no graphical display"_s;
        QTest::newRow("area off the screen")
                << "VELORA_X11_GRAB_NO_SHM"_ba
                << "0"_ba << QRect(1920, 0, 10, 10) << u"outside the screen"_s;
    }

    void refusesWhatCannotBeRecorded()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        QFETCH(QRect, area);
        QFETCH(QString, error);
        const QByteArray before = qgetenv(variable);
        value.isNull() ? qunsetenv(variable) : qputenv(variable, value);
        QString said;
        const bool refused = ScreenGrabber::create(area, &said) == nullptr;
        before.isNull() ? qunsetenv(variable) : qputenv(variable, before);
        QVERIFY(refused);
        QVERIFY2(said.contains(error), qPrintable(said));
    }
};

VELORA_TEST_MAIN(TestScreenGrabber)
#include "tst_screengrabber.moc"

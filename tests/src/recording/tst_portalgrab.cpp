// Desktop recordings and pictures of a Wayland desktop, run inside tools/wayland-session: a
// headless 1920x1080 output filled by a client whose left half turns red, green and blue and whose
// right half stays 0xc81e32. The screen-cast portal shares the output without asking; in the
// other sessions its chooser fails always, or from the second question on.

#include <AVIRecordingCtrl.h>
#include <CaptureImpl.h>
#include <MessageBox.h>
#include <RecordingProbe.h>
#include <ScreenGrabber.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <VeloraTest.h>

#include <QDir>

#include <cstdlib>
#include <set>

using namespace Qt::StringLiterals;

namespace {

QStringList boxesShown;

const QRgb steady = 0xc81e32;
const QRgb cycle[3] = {0xff0000, 0x00ff00, 0x0000ff};

/// Whether `colour` is `expected` give or take what compression changes.
bool near(QRgb colour, QRgb expected)
{
    return std::abs(qRed(colour) - qRed(expected)) < 24
            && std::abs(qGreen(colour) - qGreen(expected)) < 24
            && std::abs(qBlue(colour) - qBlue(expected)) < 24;
}

/// Which of the cycle's colours the picture's left half shows, -1 for none; checks its right
/// half too.
int shownColour(const QImage &picture)
{
    const int y = picture.height() / 2;
    if (!near(picture.pixel(picture.width() * 3 / 4, y), steady))
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (near(picture.pixel(picture.width() / 4, y), cycle[i]))
            return i;
    }
    return -1;
}

QString mediaFolder()
{
    return VeloraTest::homePath() + u"/Media/"_s;
}

} // namespace

class TestPortalGrab : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
                 "runs inside tools/wayland-session");
        MessageBox::setAnswerer([](const MessageBox::Question &question) {
            boxesShown.append(question.text);
            return MessageBox::defaultAnswer(question);
        });
        QDir().mkpath(mediaFolder());
        ComponentRef<SettingIntf>()->setSavePath(mediaFolder());
    }

    void recordingShowsTheMovingPicture()
    {
        AVIRecordingCtrl recording;
        QVERIFY(recording.start(1024, 0, QString()));
        QTest::qWait(5000);
        const QString file = recording.stop(QString());
        QCOMPARE(boxesShown, QStringList());
        const RecordingProbe probe = RecordingProbe::of(file, 64);
        QCOMPARE(QSize(probe.width, probe.height), QSize(1024, 576));
        QVERIFY2(probe.thumbnails.size() >= 100, qPrintable(QString::number(probe.frames)));
        std::set<int> seen;
        for (const QImage &frame : probe.thumbnails) {
            const int colour = shownColour(frame);
            QVERIFY2(colour >= 0,
                     qPrintable(u"%1 / %2"_s.arg(frame.pixel(16, 18), 0, 16)
                                        .arg(frame.pixel(48, 18), 0, 16)));
            seen.insert(colour);
        }
        QCOMPARE(seen.size(), size_t(3));
    }

    void desktopStillShowsIt()
    {
        const QImage still = CaptureImpl::grabDesktop();
        QCOMPARE(still.size(), QSize(1920, 1080));
        QVERIFY(shownColour(still) >= 0);
        // Exactly, and all over: no compression stands between.
        QImage right(960, 1080, QImage::Format_RGB32);
        right.fill(QColor(steady));
        QCOMPARE(still.copy(960, 0, 960, 1080), right);
        // A recording's area is cut out of the monitor's picture.
        QString error;
        const auto grabber = ScreenGrabber::create(QRect(960, 0, 960, 1080), &error);
        DesktopPicture picture;
        QVERIFY2(grabber && grabber->grab(picture), qPrintable(error));
        QCOMPARE(QImage(picture.pixels, picture.width, picture.height, picture.bytesPerLine,
                        QImage::Format_RGB32),
                 right);
        QCOMPARE(boxesShown, QStringList());
    }

    void permissionAskedForOnce()
    {
        // The session's chooser answers the first question only.
        for (int time = 1; time <= 2; ++time) {
            QString error;
            QVERIFY2(ScreenGrabber::create(QRect(), &error), qPrintable(error));
        }
    }

    void refusalIsSaidAndNothingWritten()
    {
        AVIRecordingCtrl recording;
        QVERIFY(!recording.start(1024, 0, QString()));
        QCOMPARE(
                boxesShown,
                QStringList{u"The desktop is not recorded: sharing the screen was not allowed."_s});
        QCOMPARE(QDir(mediaFolder()).entryList(QDir::Files), QStringList());
        boxesShown.clear();
        QVERIFY(CaptureImpl::grabDesktop().isNull());
        QCOMPARE(boxesShown.size(), 1);
    }
};

VELORA_TEST_MAIN(TestPortalGrab)
#include "tst_portalgrab.moc"

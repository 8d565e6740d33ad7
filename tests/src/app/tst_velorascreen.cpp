// The main window on a real X server: what reaches the screen in each layout is each source's
// own picture, not a blank or black area.

#include <CameraWidget.h>
#include <ImageWidget.h>
#include <KivoscopeIntf.h>
#include <SettingIntf.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <WebCamIntf.h>

#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

namespace {

/// How alike the picture in `region` of `screen` is to `picture` drawn over `region` keeping
/// its shape, as the views draw it: the correlation of their brightness over a coarse grid,
/// 1 for the same picture, near 0 for an unrelated or blank one. A coarse grid forgives the
/// differences of scaling filters; correlation, unlike a colour distance, tells two similar
/// looking pages apart by where their contents lie.
double likeness(const QImage &screen, const QRect &region, const QImage &picture)
{
    QRect shown(QPoint(), picture.size().scaled(region.size(), Qt::KeepAspectRatio));
    shown.moveCenter(region.center());
    const QSize grid(48, 36);
    const QImage seen
            = screen.copy(shown).scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage expected = picture.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    const int n = grid.width() * grid.height();
    for (int y = 0; y < grid.height(); ++y) {
        for (int x = 0; x < grid.width(); ++x) {
            const double a = qGray(seen.pixel(x, y)), b = qGray(expected.pixel(x, y));
            sx += a;
            sy += b;
            sxx += a * a;
            syy += b * b;
            sxy += a * b;
        }
    }
    const double cov = sxy - sx * sy / n;
    const double va = sxx - sx * sx / n, vb = syy - sy * sy / n;
    if (va <= 1e-9 || vb <= 1e-9)
        return 0;
    return cov / std::sqrt(va * vb);
}

/// A picture that cannot be mistaken for a camera's page: four saturated quarters.
QImage quarters()
{
    QImage picture(800, 600, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 400, 300, QColor(220, 30, 30));
    painter.fillRect(400, 0, 400, 300, QColor(30, 180, 40));
    painter.fillRect(0, 300, 400, 300, QColor(30, 60, 220));
    painter.fillRect(400, 300, 400, 300, QColor(240, 200, 20));
    return picture;
}

} // namespace

class TestVeloraScreen : public QObject
{
    Q_OBJECT

    QTemporaryDir folder;

    // Its own picture scores about 0.95 here, the other camera's similar page about 0.7.
    static constexpr double MinimumLikeness = 0.88;

    /// Checks that `view`'s region shows `picture`, the frame its source delivered last.
    static bool shows(const Velora &window, const QWidget *view, const QImage &picture,
                      const char *what)
    {
        if (!view->isVisible() || picture.isNull()) {
            qWarning("%s: not on screen", what);
            return false;
        }
        QTest::qWait(300); // for the views to paint
        const QImage screen
                = window.screen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        const double alike
                = likeness(screen, QRect(view->mapToGlobal(QPoint(0, 0)), view->size()), picture);
        if (alike < MinimumLikeness)
            qWarning("%s: its region is only %.2f like its picture", what, alike);
        return alike >= MinimumLikeness;
    }

private Q_SLOTS:
    void eachViewShowsItsSource()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (the test runs under xvfb-run)");
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setValue(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), true);
        settings->release();
        const QString picturePath = folder.filePath(QStringLiteral("board.png"));
        QVERIFY(quarters().save(picturePath));

        Velora window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        KivoscopeIntf *kivoscope = KivoscopeIntf::getInstance();
        WebCamIntf *webCam = WebCamIntf::getInstance();
        CameraWidget *docCamView = kivoscope->view();
        CameraWidget *webCamView = webCam->mainView();
        QTRY_VERIFY_WITH_TIMEOUT(kivoscope->isConnected() && !docCamView->frame().isNull(), 5000);
        // The window covers the screen once it is clear no window manager maximizes it.
        QTRY_VERIFY_WITH_TIMEOUT(window.width() >= window.screen()->availableSize().width() - 1,
                                 3000);

        // The pictures do not move (nobody touches the simulated pages), so the last frame
        // each view received is what its region must show.
        window.becomeDThreeSplit();
        QTRY_VERIFY_WITH_TIMEOUT(!webCamView->frame().isNull(), 5000);
        window.imgRequestToShow(picturePath);
        QTRY_VERIFY(!window.splitImageView()->image().isNull());
        QVERIFY(shows(window, docCamView, docCamView->frame().getQImage(),
                      "mode 4, document camera"));
        QVERIFY(shows(window, webCamView, webCamView->frame().getQImage(), "mode 4, webcam"));
        QVERIFY(shows(window, window.splitImageView(), quarters(), "mode 4, picture"));

        window.becomeOneSplit();
        window.imgRequestToShow(picturePath);
        QCOMPARE(window.currentSplitMode(), 7);
        QTRY_VERIFY(!window.fullImageView()->image().isNull());
        QVERIFY(shows(window, window.fullImageView(), quarters(), "mode 7, picture"));

        webCam->release();
        kivoscope->release();
    }
};

VELORA_TEST_MAIN(TestVeloraScreen)
#include "tst_velorascreen.moc"

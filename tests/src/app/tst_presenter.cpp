// The presenter masks in the main window: which mask and which panels are shown, where the mask
// lies, and what is kept when Velora exits with a mask up.

#include <MessageBox.h>
#include <PresenterPanel.h>
#include <SettingIntf.h>
#include <SpotlightIntf.h>
#include <Velora.h>
#include <VeloraTest.h>
#include <VisorIntf.h>

#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace {

/// Where a mask must lie: over the central area, wherever the window is on the desktop.
QRect centralArea(const Velora &window)
{
    const QWidget *central = window.centralWidget();
    return QRect(central->mapToGlobal(QPoint(0, 0)), central->size());
}

} // namespace

class TestPresenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Past the first start, so no introduction slides the panels away by itself.
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setValue(QStringLiteral("NOT_FIRST_TIME_LAUNCH"), true);
        settings->release();
    }

    // First: a confirmed exit below ends the application's event loop for good, after which no
    // box can be shown.
    void messageBoxStaysAboveTheMask()
    {
        Velora window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.showUpVisor();
        Qt::WindowFlags boxFlags;
        QTimer::singleShot(0, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            boxFlags = box->windowFlags();
            box->close();
        });
        MessageBox::warning(&window, QStringLiteral("Warning"), QStringLiteral("Over the visor"));
        QVERIFY(boxFlags.testFlag(Qt::WindowStaysOnTopHint));
    }

    void maskLiesOverTheCentralAreaAndFollowsTheWindow()
    {
        Velora window;
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(QGuiApplication::screens().size(), 2);
        // On the second screen, right of the first.
        window.showNormal();
        window.setGeometry(1580, 200, 900, 700);
        window.showUpSpotlight();
        QWidget *spotlight = window.spotlightMask()->widget();
        QTRY_COMPARE(spotlight->geometry(), centralArea(window));
        QCOMPARE(spotlight->screen(), QGuiApplication::screens().at(1));

        window.resize(700, 500);
        QTRY_COMPARE(window.centralWidget()->width(), 700);
        QCOMPARE(spotlight->geometry(), centralArea(window));
        window.move(1700, 260);
        QTRY_COMPARE(window.pos(), QPoint(1700, 260));
        QCOMPARE(spotlight->geometry(), centralArea(window));
        // The central area alone grows, into the menu bar's room.
        window.menuBar()->hide();
        QTRY_COMPARE(spotlight->geometry(), centralArea(window));
    }

    void masksTakeTurnsAndGiveThePanelsBack_data()
    {
        QTest::addColumn<bool>("tools");
        QTest::addColumn<bool>("mediaLib");
        QTest::addColumn<bool>("byExit");
        QTest::newRow("tools, closed by its button") << true << false << false;
        QTest::newRow("media library, closed by its button") << false << true << false;
        QTest::newRow("both, exit with the mask up") << true << true << true;
        QTest::newRow("neither, exit with the mask up") << false << false << true;
    }
    void masksTakeTurnsAndGiveThePanelsBack()
    {
        QFETCH(bool, tools);
        QFETCH(bool, mediaLib);
        QFETCH(bool, byExit);
        SettingIntf *settings = SettingIntf::getInstance();
        settings->setValue(QStringLiteral("TOOLS_PANEL_STATUS"), !tools);
        settings->setValue(QStringLiteral("MEDIA_LIB_STATUS"), !mediaLib);
        {
            Velora window;
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            // The opposite of what the start restored, as the presenter arranged them since.
            QMetaObject::invokeMethod(&window, tools ? "toolPanelShow" : "toolPanelHide");
            QMetaObject::invokeMethod(&window,
                                      mediaLib ? "mediaLibPanelShow" : "mediaLibPanelClose");
            QWidget *visor = window.visorMask()->widget();
            QWidget *spotlight = window.spotlightMask()->widget();
            const auto *panel = window.findChild<PresenterPanel *>();

            panel->visorButton()->click();
            QVERIFY(visor->isVisible() && !spotlight->isVisible());
            QVERIFY(!window.isToolsPanelShown() && !window.isMediaLibShown());
            // Switching masks must not take the hidden panels for the ones to bring back.
            panel->spotlightButton()->click();
            QVERIFY(spotlight->isVisible() && !visor->isVisible());

            if (byExit)
                QVERIFY(window.close());
            else
                spotlight->findChild<QPushButton *>(QStringLiteral("closeButton"))->click();
            QVERIFY(!window.isInPresenterMode());
            QVERIFY(!spotlight->isVisible() && !visor->isVisible());
            QCOMPARE(window.isToolsPanelShown(), tools);
            QCOMPARE(window.isMediaLibShown(), mediaLib);
        }
        if (byExit) {
            QCOMPARE(settings->value(QStringLiteral("TOOLS_PANEL_STATUS")).toBool(), tools);
            QCOMPARE(settings->value(QStringLiteral("MEDIA_LIB_STATUS")).toBool(), mediaLib);
        }
        settings->release();
    }
};

VELORA_TEST_MAIN(TestPresenter)
#include "tst_presenter.moc"

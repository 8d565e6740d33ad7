#include <DocCamControlPanel.h>
#include <GradeCamHandOver.h>
#include <KivoscopeIntf.h>
#include <MessageBox.h>
#include <SimulatedCameras.h>
#include <SplitScreenPanel.h>
#include <ToolsPanel.h>
#include <VeloraTest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

namespace {

/// The tool strip in a shown window of a screen's size, over the shared controller and a real
/// GradeCam hand-over.
struct Strip
{
    QWidget window;
    KivoscopeIntf *kivoscope;
    GradeCamHandOver handOver;
    ToolsPanel *tools;
    /// The annotation, capture and presenter sub-panels, once given.
    std::array<QWidget *, 3> later{};

    explicit Strip(QSize screen = QSize(1280, 720), bool withLaterTools = true)
        : kivoscope(KivoscopeIntf::getInstance(&window))
        , handOver(kivoscope)
        , tools(new ToolsPanel(kivoscope, &handOver, &window))
    {
        window.resize(screen);
        window.show();
        if (withLaterTools)
            addLaterTools();
    }
    ~Strip()
    {
        delete tools;
        kivoscope->release();
    }
    QToolButton *button(const char *name) const
    {
        return tools->findChild<QToolButton *>(QLatin1String(name));
    }
    /// Gives the panel what the components made after it bring: the sub-panels, each of its own
    /// height, and the record and clear-all buttons.
    void addLaterTools()
    {
        for (auto which : {ToolsPanel::Annotation, ToolsPanel::Capture, ToolsPanel::Presenter}) {
            later[which] = new QLabel(QStringLiteral("sub-panel %1").arg(which));
            later[which]->setMinimumSize(300, 60 + 40 * which);
            tools->setSubPanel(which, later[which]);
        }
        tools->setRecordingAvailable(true);
        tools->setClearAllAvailable(true);
    }
    /// The first label of the strip that cannot be read whole, empty when there is none: its
    /// button is smaller than the style needs for its icon and text, reaches into the button
    /// before it, or leaves the window.
    QString misfit() const
    {
        QRect previous;
        const auto strip = tools->findChild<QWidget *>(QStringLiteral("toolStrip"));
        for (QToolButton *button : strip->findChildren<QToolButton *>()) { // left to right
            const QRect rect(button->mapTo(&window, QPoint(0, 0)), button->size());
            const QSize needed = button->sizeHint();
            if (button->isHidden())
                continue;
            if (rect.width() < needed.width() || rect.height() < needed.height()
                || rect.left() <= previous.right() || !window.rect().contains(rect))
                return button->text();
            previous = rect;
        }
        return {};
    }
};

} // namespace

class TestToolsPanel : public QObject
{
    Q_OBJECT

    // The environment's camera is attached first; replaced when a test plugs in another.
    QString cameraKey = QStringLiteral("sim:1");
    QList<QUrl> openedUrls;

public:
    Q_INVOKABLE void openUrl(const QUrl &url) { openedUrls.append(url); }

private Q_SLOTS:
    void initTestCase()
    {
        // The application's font, as Velora sets it at start-up.
        QFont font = QApplication::font();
        font.setFamily(QStringLiteral("Calibri"));
        QApplication::setFont(font);
    }
    void cleanup()
    {
        MessageBox::setAnswerer({});
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }

    void subPanelsOpenOneAtATimeAndEveryLabelStaysWhole_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1920x1080") << QSize(1920, 1080);
        QTest::newRow("1280x720") << QSize(1280, 720);
    }

    void subPanelsOpenOneAtATimeAndEveryLabelStaysWhole()
    {
        QFETCH(QSize, screen);
        Strip strip(screen, false);
        const QList<const char *> later{"annoBtn", "captureBtn", "presenterBtn", "recordBtn",
                                        "clearAllBtn"};
        for (const char *name : later)
            QVERIFY2(strip.button(name)->isHidden(), name);
        strip.addLaterTools();
        for (const char *name : later)
            QVERIFY2(strip.button(name)->isVisible(), name);
        QTRY_VERIFY_WITH_TIMEOUT(strip.button("docCamBtn")->isEnabled(), 5000);
        QTRY_COMPARE(strip.misfit(), QString());

        const int closedHeight = strip.tools->height();
        QSignalSpy resized(strip.tools, &ToolsPanel::sizeChanged);
        const auto [annotation, capture, presenter] = strip.later;
        const QList<std::pair<const char *, QWidget *>> tools{
                {"annoBtn", annotation},
                {"docCamBtn", strip.tools->docCamPanel()},
                {"captureBtn", capture},
                {"splitBtn", strip.tools->splitPanel()},
                {"presenterBtn", presenter}};
        for (const auto &[name, subPanel] : tools) {
            resized.clear();
            QTest::mouseClick(strip.button(name), Qt::LeftButton);
            QVERIFY2(strip.button(name)->isChecked() && subPanel->isVisible(), name);
            for (const auto &[otherName, other] : tools)
                QVERIFY2(other == subPanel || other->isHidden(), otherName);
            // The panel exactly as large as the strip and the sub-panel need, taken in one
            // resize even when another sub-panel closed on the way.
            QCOMPARE(strip.tools->size(), strip.tools->sizeHint());
            QVERIFY(strip.tools->height() >= closedHeight + subPanel->height());
            QCOMPARE(resized.size(), 1);
            QTRY_COMPARE(strip.misfit(), QString());
        }
        // A sub-panel that grows by itself takes the panel with it.
        const int before = strip.tools->height();
        presenter->setMinimumHeight(presenter->height() + 50);
        QTRY_COMPARE(strip.tools->height(), before + 50);
        // One taller than the window stops at the window's edge and scrolls, so that its last
        // controls stay reachable; a smaller window leaves it less room.
        presenter->setMinimumHeight(2 * screen.height());
        QTRY_COMPARE(strip.tools->height(), strip.window.height());
        auto *scroll = strip.tools->findChild<QScrollArea *>();
        QVERIFY(scroll->widget()->height() >= 2 * screen.height());
        QCOMPARE(scroll->verticalScrollBar()->maximum(),
                 scroll->widget()->height() - scroll->viewport()->height());
        strip.window.resize(screen - QSize(0, 100));
        QTRY_COMPARE(strip.tools->height(), strip.window.height());
        strip.window.resize(screen);
        presenter->setMinimumHeight(0);

        // Unchecking closes the sub-panel, the capture selection included.
        QTest::mouseClick(strip.button("captureBtn"), Qt::LeftButton);
        QTest::mouseClick(strip.button("captureBtn"), Qt::LeftButton);
        QVERIFY(capture->isHidden() && presenter->isHidden());
        QCOMPARE(strip.tools->height(), closedHeight);

        // Full display has no room for a split or for widget mode; home closes the camera's.
        QTest::mouseClick(strip.button("splitBtn"), Qt::LeftButton);
        strip.tools->fullDisplayChangedUI(true);
        QVERIFY(!strip.button("splitBtn")->isEnabled() && !strip.button("splitBtn")->isChecked());
        QVERIFY(!strip.tools->widgetModeButton()->isEnabled());
        QCOMPARE(strip.tools->height(), closedHeight);
        QTRY_COMPARE(strip.misfit(), QString());
        strip.tools->fullDisplayChangedUI(false);
        QVERIFY(strip.button("splitBtn")->isEnabled()
                && strip.tools->widgetModeButton()->isEnabled());
        QTest::mouseClick(strip.button("docCamBtn"), Qt::LeftButton);
        QTest::mouseClick(strip.tools->homeButton(), Qt::LeftButton);
        QVERIFY(!strip.button("docCamBtn")->isChecked());
        QCOMPARE(strip.tools->height(), closedHeight);

        // Closing only asks the window to slide the panel away.
        QSignalSpy closed(strip.tools, &ToolsPanel::toolPanelClosed);
        QTest::mouseClick(strip.button("closeBtn"), Qt::LeftButton);
        QCOMPARE(closed.size(), 1);
    }

    void docCamToolsFollowTheCamera()
    {
        Strip strip;
        QToolButton *docCam = strip.button("docCamBtn");
        QToolButton *gradeCam = strip.button("gradeCamBtn");
        QTRY_VERIFY_WITH_TIMEOUT(docCam->isEnabled() && gradeCam->isEnabled(), 5000);
        QTest::mouseClick(docCam, Qt::LeftButton);

        // A stray call while the camera is still there changes nothing.
        strip.tools->disableDocCamTools();
        QVERIFY(docCam->isEnabled() && docCam->isChecked() && gradeCam->isEnabled());

        gradeCam->setChecked(true);
        QVERIFY(SimulatedCameras::remove(cameraKey));
        QTRY_VERIFY_WITH_TIMEOUT(!strip.kivoscope->isConnected(), 5000);
        strip.tools->disableDocCamTools();
        QVERIFY(!docCam->isEnabled() && !docCam->isChecked());
        QVERIFY(!gradeCam->isEnabled() && !gradeCam->isChecked());
        QVERIFY(strip.tools->docCamPanel()->isHidden());
        QTRY_COMPARE(strip.misfit(), QString());
        {
            // A panel made while no camera is there starts with both tools off.
            ToolsPanel another(strip.kivoscope, &strip.handOver);
            for (const char *name : {"docCamBtn", "gradeCamBtn"})
                QVERIFY2(!another.findChild<QToolButton *>(name)->isEnabled(), name);
        }

        SimulatedCameras::Setup setup;
        setup.size = QSize(640, 480);
        cameraKey = SimulatedCameras::add(setup);
        QTRY_VERIFY_WITH_TIMEOUT(docCam->isEnabled() && gradeCam->isEnabled(), 5000);
    }

    void recordButtonShowsTheStatusAndAsksWhatItAllows_data()
    {
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("asks"); // 0 nothing, 1 to start, 2 to stop
        QTest::newRow("nothing") << 0u << "Record" << 0;
        QTest::newRow("may start") << 1u << "Record" << 1;
        QTest::newRow("recording") << 2u << "Click to stop" << 2;
        QTest::newRow("recording, may start") << 3u << "Click to stop" << 2;
    }

    void recordButtonShowsTheStatusAndAsksWhatItAllows()
    {
        QFETCH(uint, status);
        QFETCH(QString, text);
        QFETCH(int, asks);
        Strip strip;
        QToolButton *record = strip.tools->recordButton();
        const bool recording = status & 2u;
        // From the opposite state, so that neither the start nor a leftover passes for it.
        strip.tools->recordUIChangedWithStatus(recording ? 0u : 2u);
        strip.tools->recordUIChangedWithStatus(status);
        QCOMPARE(record->text(), text);
        QCOMPARE(record->isChecked(), recording);
        QTRY_COMPARE(strip.misfit(), QString());

        QSignalSpy start(strip.tools, &ToolsPanel::startRecordingRequested);
        QSignalSpy stop(strip.tools, &ToolsPanel::stopRecordRequested);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(start.size(), asks == 1 ? 1 : 0);
        QCOMPARE(stop.size(), asks == 2 ? 1 : 0);
        // Pressed while a start is asked for; still recording until the recording has stopped.
        QCOMPARE(record->isChecked(), asks != 0);
        strip.tools->startRecording(false); // the start was declined
        QCOMPARE(record->isChecked(), recording);
    }

    void gradeCamButtonFollowsTheHandOver()
    {
        Strip strip;
        QToolButton *gradeCam = strip.button("gradeCamBtn");
        QTRY_VERIFY_WITH_TIMEOUT(gradeCam->isEnabled(), 5000);
        // The login page goes to this test instead of a browser.
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QList<MessageBox::Question> asked;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked.append(question);
            return asked.size() == 1 ? QMessageBox::Cancel : QMessageBox::Yes;
        });

        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QVERIFY(!gradeCam->isChecked()); // cancelled
        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.first().title, QStringLiteral("Warning"));
        QCOMPARE(asked.first().parent, &strip.window);
        QCOMPARE(openedUrls, QList<QUrl>{GradeCamHandOver::loginPage()});
        QVERIFY(gradeCam->isChecked());
        QCOMPARE(gradeCam->text(), GradeCamHandOver::ReconnectText);
        QTRY_COMPARE(strip.misfit(), QString());

        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QVERIFY(!gradeCam->isChecked());
        QCOMPARE(gradeCam->text(), GradeCamHandOver::LendText);
        QTRY_VERIFY_WITH_TIMEOUT(strip.kivoscope->isConnected(), 5000);
    }
};

VELORA_TEST_MAIN(TestToolsPanel)
#include "tst_toolspanel.moc"

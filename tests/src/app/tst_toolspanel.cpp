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
#include <QSignalSpy>
#include <QToolButton>

namespace {

/// The tool strip in a shown window, over the shared controller and a real GradeCam hand-over.
struct Strip
{
    QWidget window;
    KivoscopeIntf *kivoscope;
    GradeCamHandOver handOver;
    ToolsPanel *tools;

    Strip()
        : kivoscope(KivoscopeIntf::getInstance(&window))
        , handOver(kivoscope)
        , tools(new ToolsPanel(kivoscope, &handOver, &window))
    {
        window.resize(1400, 900);
        window.show();
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
    /// Gives the panel the annotation, capture and presenter sub-panels of the components that
    /// arrive later, each of its own height.
    std::array<QWidget *, 3> addLaterSubPanels() const
    {
        std::array<QWidget *, 3> given{};
        for (auto which : {ToolsPanel::Annotation, ToolsPanel::Capture, ToolsPanel::Presenter}) {
            auto *panel = new QLabel(QStringLiteral("sub-panel %1").arg(which));
            panel->setMinimumSize(300, 60 + 40 * which);
            tools->setSubPanel(which, panel);
            given[which] = panel;
        }
        return given;
    }
};

} // namespace

class TestToolsPanel : public QObject
{
    Q_OBJECT

    // The camera VELORA_SIMULATED_CAMERAS attached: the environment's cameras are attached
    // before any a test adds, so it is the first. Replaced when a test plugs in another.
    QString cameraKey = QStringLiteral("sim:1");
    QList<QUrl> openedUrls;

public:
    Q_INVOKABLE void openUrl(const QUrl &url) { openedUrls.append(url); }

private Q_SLOTS:
    void init() { openedUrls.clear(); }
    void cleanup()
    {
        MessageBox::setAnswerer({});
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }

    void subPanelsOpenOneAtATimeAndThePanelFollowsTheirHeight()
    {
        Strip strip;
        const QStringList later{"annoBtn", "captureBtn", "presenterBtn", "recordBtn",
                                "clearAllBtn"};
        for (const QString &name : later)
            QVERIFY2(strip.button(qPrintable(name))->isHidden(), qPrintable(name));
        const auto [annotation, capture, presenter] = strip.addLaterSubPanels();
        strip.tools->setRecordingAvailable(true);
        strip.tools->setClearAllAvailable(true);
        for (const QString &name : later)
            QVERIFY2(strip.button(qPrintable(name))->isVisible(), qPrintable(name));
        QTRY_VERIFY_WITH_TIMEOUT(strip.button("docCamBtn")->isEnabled(), 5000);

        const int closedHeight = strip.tools->height();
        QSignalSpy resized(strip.tools, &ToolsPanel::sizeChanged);
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
            // Below the strip, inside the panel, and the panel exactly as tall as both need.
            const QRect placed(subPanel->mapTo(strip.tools, QPoint(0, 0)), subPanel->size());
            QVERIFY(placed.top() >= strip.button("closeBtn")->geometry().bottom());
            QVERIFY(strip.tools->rect().contains(placed));
            QCOMPARE(strip.tools->size(), strip.tools->sizeHint());
            QVERIFY(strip.tools->height() >= closedHeight + subPanel->height());
            // One resize per click, even when another sub-panel closed on the way.
            QCOMPARE(resized.size(), 1);
            for (const auto &[otherName, other] : tools) {
                if (other != subPanel) {
                    QVERIFY2(!strip.button(otherName)->isChecked(), otherName);
                    QVERIFY2(other->isHidden(), otherName);
                }
            }
        }
        // Unchecking closes the sub-panel, the capture selection included.
        QTest::mouseClick(strip.button("captureBtn"), Qt::LeftButton);
        QTest::mouseClick(strip.button("captureBtn"), Qt::LeftButton);
        QVERIFY(capture->isHidden() && presenter->isHidden());
        QCOMPARE(strip.tools->height(), closedHeight);
    }

    void docCamToolsFollowTheCamera()
    {
        Strip strip;
        QToolButton *docCam = strip.button("docCamBtn");
        QToolButton *gradeCam = strip.button("gradeCamBtn");
        QTRY_VERIFY_WITH_TIMEOUT(strip.kivoscope->isConnected() && docCam->isEnabled(), 5000);
        QVERIFY(gradeCam->isEnabled());
        QTest::mouseClick(docCam, Qt::LeftButton);
        QVERIFY(strip.tools->docCamPanel()->isVisible());

        // A stray call while the camera is still there changes nothing.
        strip.tools->disableDocCamTools();
        QVERIFY(docCam->isEnabled() && docCam->isChecked());
        QVERIFY(strip.tools->docCamPanel()->isVisible());

        gradeCam->setChecked(true);
        QVERIFY(SimulatedCameras::remove(cameraKey));
        QTRY_VERIFY_WITH_TIMEOUT(!strip.kivoscope->isConnected(), 5000);
        strip.tools->disableDocCamTools();
        QVERIFY(!docCam->isEnabled() && !docCam->isChecked());
        QVERIFY(!gradeCam->isEnabled() && !gradeCam->isChecked());
        QVERIFY(strip.tools->docCamPanel()->isHidden());
        QCOMPARE(strip.tools->size(), strip.tools->sizeHint());
        {
            // A panel made while no camera is there starts with both tools off.
            ToolsPanel another(strip.kivoscope, &strip.handOver);
            QVERIFY(!another.findChild<QToolButton *>("docCamBtn")->isEnabled());
            QVERIFY(!another.findChild<QToolButton *>("gradeCamBtn")->isEnabled());
        }

        SimulatedCameras::Setup setup;
        setup.size = QSize(640, 480);
        cameraKey = SimulatedCameras::add(setup);
        QTRY_VERIFY_WITH_TIMEOUT(docCam->isEnabled() && gradeCam->isEnabled(), 5000);
    }

    void fullDisplayAndHomeCloseWhatTheyHaveNoRoomFor()
    {
        Strip strip;
        QTRY_VERIFY_WITH_TIMEOUT(strip.button("docCamBtn")->isEnabled(), 5000);
        const int closedHeight = strip.tools->height();
        QTest::mouseClick(strip.button("splitBtn"), Qt::LeftButton);
        strip.tools->fullDisplayChangedUI(true);
        QVERIFY(!strip.button("splitBtn")->isEnabled() && !strip.button("splitBtn")->isChecked());
        QVERIFY(!strip.tools->widgetModeButton()->isEnabled());
        QVERIFY(strip.tools->splitPanel()->isHidden());
        QCOMPARE(strip.tools->height(), closedHeight);
        strip.tools->fullDisplayChangedUI(false);
        QVERIFY(strip.button("splitBtn")->isEnabled()
                && strip.tools->widgetModeButton()->isEnabled());

        QTest::mouseClick(strip.button("docCamBtn"), Qt::LeftButton);
        QVERIFY(strip.tools->height() > closedHeight);
        QTest::mouseClick(strip.tools->homeButton(), Qt::LeftButton);
        QVERIFY(!strip.button("docCamBtn")->isChecked());
        QVERIFY(strip.tools->docCamPanel()->isHidden());
        QCOMPARE(strip.tools->height(), closedHeight);
    }

    void recordButtonShowsTheStatus_data()
    {
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("checked");
        QTest::newRow("nothing") << 0u << "Record" << false;
        QTest::newRow("may start") << 1u << "Record" << false;
        QTest::newRow("recording") << 2u << "Click to stop" << true;
        QTest::newRow("recording, may start") << 3u << "Click to stop" << true;
    }

    void recordButtonShowsTheStatus()
    {
        QFETCH(uint, status);
        QFETCH(QString, text);
        QFETCH(bool, checked);
        Strip strip;
        // From the opposite state, so that neither the start nor a leftover passes for it.
        strip.tools->recordUIChangedWithStatus(checked ? 0u : 2u);
        strip.tools->recordUIChangedWithStatus(status);
        QCOMPARE(strip.tools->recordButton()->text(), text);
        QCOMPARE(strip.tools->recordButton()->isChecked(), checked);
    }

    void recordClicksAskOnlyForWhatTheStatusAllows()
    {
        Strip strip;
        strip.tools->setRecordingAvailable(true);
        QToolButton *record = strip.tools->recordButton();
        QSignalSpy start(strip.tools, &ToolsPanel::startRecordingRequested);
        QSignalSpy stop(strip.tools, &ToolsPanel::stopRecordRequested);

        strip.tools->recordUIChangedWithStatus(0);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(start.size(), 0);
        QVERIFY(!record->isChecked());

        strip.tools->recordUIChangedWithStatus(1);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(start.size(), 1);
        QVERIFY(record->isChecked());
        strip.tools->startRecording(false);
        QVERIFY(!record->isChecked());
        QCOMPARE(record->text(), QStringLiteral("Record"));

        strip.tools->recordUIChangedWithStatus(3);
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(stop.size(), 1);
        QCOMPARE(start.size(), 1);
        // Still recording until the recording says it has stopped.
        QVERIFY(record->isChecked());
        strip.tools->recordUIChangedWithStatus(1);
        QCOMPARE(record->text(), QStringLiteral("Record"));
        QVERIFY(!record->isChecked());
    }

    void closeAndClearAllAreForwarded()
    {
        Strip strip;
        strip.tools->setClearAllAvailable(true);
        QSignalSpy closed(strip.tools, &ToolsPanel::toolPanelClosed);
        QSignalSpy cleared(strip.tools, &ToolsPanel::clearAllRequested);
        QTest::mouseClick(strip.button("closeBtn"), Qt::LeftButton);
        QCOMPARE(closed.size(), 1);
        QCOMPARE(cleared.size(), 0);
        QTest::mouseClick(strip.button("clearAllBtn"), Qt::LeftButton);
        QCOMPARE(cleared.size(), 1);
        QCOMPARE(closed.size(), 1);
    }

    void gradeCamButtonFollowsTheHandOver()
    {
        Strip strip;
        QToolButton *gradeCam = strip.button("gradeCamBtn");
        QTRY_VERIFY_WITH_TIMEOUT(gradeCam->isEnabled(), 5000);
        QCOMPARE(gradeCam->text(), GradeCamHandOver::LendText);
        QVERIFY(!gradeCam->isChecked());

        // The login page goes to this test instead of a browser.
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QList<MessageBox::Question> asked;
        QMessageBox::StandardButton answer = QMessageBox::Cancel;
        MessageBox::setAnswerer([&](const MessageBox::Question &question) {
            asked.append(question);
            return answer;
        });

        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().title, QStringLiteral("Warning"));
        QCOMPARE(asked.first().parent, &strip.window);
        QVERIFY(!gradeCam->isChecked());
        QCOMPARE(gradeCam->text(), GradeCamHandOver::LendText);

        answer = QMessageBox::Yes;
        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QCOMPARE(openedUrls, QList<QUrl>{GradeCamHandOver::loginPage()});
        QVERIFY(!strip.kivoscope->isConnected());
        QVERIFY(gradeCam->isChecked());
        QCOMPARE(gradeCam->text(), GradeCamHandOver::ReconnectText);

        QTest::mouseClick(gradeCam, Qt::LeftButton);
        QVERIFY(!gradeCam->isChecked());
        QCOMPARE(gradeCam->text(), GradeCamHandOver::LendText);
        QTRY_VERIFY_WITH_TIMEOUT(strip.kivoscope->isConnected(), 5000);
    }
};

VELORA_TEST_MAIN(TestToolsPanel)
#include "tst_toolspanel.moc"

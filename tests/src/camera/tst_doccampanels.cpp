#include "PluggedCamera.h"

#include <DocCamAdjustToolsPanel.h>
#include <DocCamControlPanel.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <KivoscopeIntf.h>
#include <MessageBox.h>
#include <SetValueSlider.h>
#include <VeloraTest.h>
#include <WidgetModeDocCamCtrlPanel.h>

#include <QLabel>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <optional>

namespace {

/// The controller over a shown window, with all three panels as the main window places them.
struct Panels
{
    QWidget window;
    KivoscopeIntf *controller;
    DocCamControlPanel *control;
    WidgetModeDocCamCtrlPanel *widgetMode;
    std::optional<PluggedCamera> camera;
    KivoDocCam *device = nullptr; ///< the camera as the library sees it

    Panels()
        : controller(KivoscopeIntf::getInstance(&window))
    {
        control = new DocCamControlPanel(controller, &window);
        widgetMode = new WidgetModeDocCamCtrlPanel(controller, &window);
        control->move(330, 0);
        widgetMode->move(0, 250);
        window.resize(900, 700);
        window.show();
    }
    ~Panels()
    {
        // The panels listen to the controller; they go before it is given back.
        delete control;
        delete widgetMode;
        controller->release();
    }
    /// Plugs a camera in and waits until the controller shows its picture.
    bool plugIn()
    {
        camera.emplace(QStringLiteral("Panel desk"));
        DocCamManager *manager = DocCamManager::getDocCamManager({});
        manager->waitForIdle();
        device = manager->cameras().value(0);
        manager->release();
        return QTest::qWaitFor([this] { return controller->isConnected(); }, 5000);
    }
    DocCamAdjustToolsPanel *adjust() const { return control->adjustPanel(); }
    template<typename T = QToolButton> T *find(const QString &panel, const QString &name) const
    {
        const QHash<QString, QWidget *> panels{{"control", control}, {"widget", widgetMode}};
        return panels.value(panel, adjust())->findChild<T *>(name);
    }
    /// One of the camera's settings, as the camera itself or the controller reports it.
    double read(const QString &setting) const
    {
        const QHash<QString, double> values{{"zoom", device->zoomRatio()},
                                            {"freeze", device->freeze()},
                                            {"rotation", device->rotation()},
                                            {"mirror", device->mirror()},
                                            {"focus", device->focus()},
                                            {"red", device->redGain()},
                                            {"blue", device->blueGain()},
                                            {"auto image", device->autoImage()},
                                            {"brightness", controller->brightness()},
                                            {"contrast", controller->contrast()},
                                            {"exposure", controller->exposure()},
                                            {"effect", controller->colorEffect()},
                                            {"mode", controller->cameraMode()}};
        return values.value(setting, qQNaN());
    }
};

const QStringList ControlButtons = {"autoFocusBtn", "zoomInBtn", "zoomOutBtn", "resetZoomBtn",
                                    "pauseBtn",     "rotateBtn", "mirrorBtn"};
const QStringList WidgetButtons = {"focusBtn", "zoomInBtn", "zoomOutBtn", "zoomResetBtn",
                                   "pauseBtn", "rotateBtn", "mirrorBtn"};
const QStringList AdjustControls
        = {"brightnessSlider", "decBrightnessBtn", "incBrightnessBtn",    "contrastSlider",
           "decContrastBtn",   "incContrastBtn",   "blackWhite",          "negative",
           "resetBtn",         "autoExposureBox",  "decExposureBtn",      "incExposureBtn",
           "decManualFocus",   "incManualFocus",   "autoWhiteBalanceBox", "decRedBtn",
           "incRedBtn",        "decBlueBtn",       "incBlueBtn",          "enhanceBtn",
           "wideAngleBtn",     "microScopeBtn",    "infinityBtn",         "macroBtn",
           "autoImgBtn"};

/// The camera mode buttons, in the order of the modes (1 to 5) they select.
const QStringList ModeButtons = AdjustControls.mid(19, 5);

QStringList enabledAmong(const QWidget *panel, const QStringList &names)
{
    QStringList enabled;
    for (const QString &name : names) {
        const QWidget *widget = panel->findChild<QWidget *>(name);
        if (!widget)
            enabled.append(QStringLiteral("missing ") + name);
        else if (widget->isEnabled())
            enabled.append(name);
    }
    return enabled;
}

/// Drags the slider's handle to one end and lets go, as the presenter would.
void dragSliderTo(SetValueSlider *slider, bool toMaximum)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.subControls = QStyle::SC_SliderHandle;
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    const QPoint end(toMaximum ? slider->width() + 50 : -50, handle.center().y());
    QTest::mousePress(slider, Qt::LeftButton, {}, handle.center());
    QTest::mouseMove(slider, QPoint((handle.center().x() + end.x()) / 2, end.y()));
    QTest::mouseMove(slider, end);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, end);
}

} // namespace

class TestDocCamPanels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Ok; });
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void controlsFollowTheActionStatus_data()
    {
        QTest::addColumn<uint>("status");
        QTest::addColumn<QStringList>("bar"); // as named on the control panel
        QTest::addColumn<QStringList>("adjust");
        const QStringList basic = AdjustControls.mid(0, 9);
        const uint live = 0x7F;
        QTest::newRow("no camera") << 0u << QStringList() << QStringList();
        QTest::newRow("frozen") << 0x10u << QStringList{"pauseBtn"} << QStringList();
        // Automatic focus is the camera's own; the bars' other buttons are always there.
        QTest::newRow("no automatic focus") << 0x7Eu << ControlButtons.mid(1) << basic;
        const auto row = [&](const char *name, uint bits, const QStringList &extra) {
            QTest::newRow(name) << (live | bits) << ControlButtons << basic + extra;
        };
        row("manual focus", 0x400, {"decManualFocus", "incManualFocus"});
        row("auto exposure", 0x200000, {"autoExposureBox"});
        row("manual exposure", 0x200000 | 0x800,
            {"autoExposureBox", "decExposureBtn", "incExposureBtn"});
        row("exposure off without control", 0x800, {});
        row("auto white balance", 0x1000, {"autoWhiteBalanceBox"});
        row("manual white balance", 0x1000 | 0x2000,
            {"autoWhiteBalanceBox", "decRedBtn", "incRedBtn", "decBlueBtn", "incBlueBtn"});
        row("gains without white balance", 0x2000, {});
        row("camera modes", 0x4000, ModeButtons);
        row("auto image", 0x40000, {"autoImgBtn"});
    }

    void controlsFollowTheActionStatus()
    {
        QFETCH(uint, status);
        QFETCH(QStringList, bar);
        QFETCH(QStringList, adjust);
        Panels panels;
        // Without a camera nothing can be pressed.
        QCOMPARE(enabledAmong(panels.control, ControlButtons), QStringList());
        Q_EMIT panels.controller->actionStatusChanged(0x7FFFFFFF);
        Q_EMIT panels.controller->actionStatusChanged(status);
        QCOMPARE(enabledAmong(panels.control, ControlButtons), bar);
        QStringList widgetBar;
        for (const QString &name : bar)
            widgetBar.append(WidgetButtons.at(ControlButtons.indexOf(name)));
        QCOMPARE(enabledAmong(panels.widgetMode, WidgetButtons), widgetBar);
        QCOMPARE(enabledAmong(panels.adjust(), AdjustControls), adjust);
        QCOMPARE(panels.find("control", "adjustBtn")->isEnabled(), !adjust.isEmpty());
    }

    void freezingLeavesOnlyPauseAndClosesTheAdjustPanel()
    {
        Panels panels;
        QVERIFY(panels.plugIn());
        QToolButton *pause = panels.find("control", "pauseBtn");
        QToolButton *widgetPause = panels.find("widget", "pauseBtn");
        QToolButton *adjust = panels.find("control", "adjustBtn");
        QSignalSpy adjustClicks(adjust, &QToolButton::clicked);
        QTRY_VERIFY(adjust->isEnabled());
        adjust->click();
        QVERIFY(panels.adjust()->isVisible());

        pause->click();
        QTRY_VERIFY(pause->isChecked());
        QVERIFY(widgetPause->isChecked());
        QTRY_VERIFY(!adjust->isEnabled());
        // The adjust panel closed as if its button had been clicked.
        QTRY_VERIFY(!panels.adjust()->isVisible());
        QVERIFY(!adjust->isChecked());
        QCOMPARE(adjustClicks.size(), 2);

        // Either bar lets the picture go again; that does not reopen the adjust panel.
        widgetPause->click();
        QTRY_VERIFY(!widgetPause->isChecked());
        QVERIFY(!pause->isChecked());
        QTRY_VERIFY(adjust->isEnabled());
        QVERIFY(!panels.control->isAdjustPanelOpen());
    }

    void buttonsReachTheCamera_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QStringList>("clicks"); // the last is the button under test
        QTest::addColumn<QString>("setting");
        // "rose" and "fell" compare with the setting before the last click.
        QTest::addColumn<QString>("expect");
        const auto row = [](const QString &name, const QStringList &clicks, const QString &setting,
                            const QString &expect) {
            QTest::newRow(qPrintable(name))
                    << name.section(QLatin1Char(' '), 0, 0) << clicks << setting << expect;
        };
        for (const QString panel : {"control", "widget"}) {
            const bool c = panel == QLatin1String("control");
            row(panel + " zoom in", {"zoomInBtn"}, "zoom", "rose");
            row(panel + " zoom out", {"zoomInBtn", "zoomOutBtn"}, "zoom", "fell");
            row(panel + " zoom reset",
                {"zoomInBtn", "zoomInBtn", c ? "resetZoomBtn" : "zoomResetBtn"}, "zoom", "1");
            row(panel + " pause", {"pauseBtn"}, "freeze", "1");
            row(panel + " rotate", {"rotateBtn"}, "rotation", "90");
            row(panel + " mirror off", {"mirrorBtn", "mirrorBtn"}, "mirror", "0");
            // Automatic focus brings the lens back to the sharp position.
            row(panel + " auto focus", {"decManualFocus", c ? "autoFocusBtn" : "focusBtn"}, "focus",
                "50");
        }
        // Each "inc" button raises its setting, each "dec" button lowers it.
        for (const QString step :
             {"BrightnessBtn brightness", "ContrastBtn contrast", "ExposureBtn exposure",
              "ManualFocus focus", "RedBtn red", "BlueBtn blue"}) {
            const QString button = step.section(u' ', 0, 0);
            row("adjust inc" + button, {"inc" + button}, step.section(u' ', 1), "rose");
            row("adjust dec" + button, {"dec" + button}, step.section(u' ', 1), "fell");
        }
        row("adjust black and white", {"blackWhite"}, "effect", "1");
        row("adjust negative over black and white", {"blackWhite", "negative"}, "effect", "2");
        row("adjust black and white off", {"blackWhite", "blackWhite"}, "effect", "0");
        for (int mode = 1; mode <= ModeButtons.size(); ++mode)
            row("adjust " + ModeButtons.at(mode - 1), {ModeButtons.at(mode - 1)}, "mode",
                QString::number(mode));
        row("adjust macro over wide angle", {"wideAngleBtn", "macroBtn"}, "mode", "5");
        row("adjust microscope off", {"microScopeBtn", "microScopeBtn"}, "mode", "0");
        row("adjust auto image", {"autoImgBtn"}, "auto image", "1");
        row("adjust reset", {"decBrightnessBtn", "resetBtn"}, "brightness", "50");
    }

    void buttonsReachTheCamera()
    {
        QFETCH(QString, panel);
        QFETCH(QStringList, clicks);
        QFETCH(QString, setting);
        QFETCH(QString, expect);
        Panels panels;
        QVERIFY(panels.plugIn());
        // The gains and the exposure answer once the camera leaves its automatic settings.
        panels.controller->setAutoWhiteBalance(false);
        panels.controller->setAutoExposure(false);

        double before = 0;
        for (const QString &name : clicks) {
            // The bars' buttons on their panel, the lens and picture buttons on the adjust panel.
            QToolButton *button = panels.find(panel, name) ? panels.find(panel, name)
                                                           : panels.find("adjust", name);
            QVERIFY2(button, qPrintable(name));
            QTRY_VERIFY2(button->isEnabled(), qPrintable(name));
            before = panels.read(setting);
            button->click();
            QTRY_VERIFY2(panels.read(setting) != before, qPrintable(name));
        }
        if (expect == QLatin1String("rose"))
            QVERIFY(panels.read(setting) > before);
        else if (expect == QLatin1String("fell"))
            QVERIFY(panels.read(setting) < before);
        else
            QTRY_COMPARE(panels.read(setting), expect.toDouble());
    }

    void slidersValuesHintsAndCheckedButtonsFollowTheCamera()
    {
        Panels panels;
        QVERIFY(panels.plugIn());
        panels.find("control", "adjustBtn")->click();
        auto *brightness = panels.find<SetValueSlider>("adjust", "brightnessSlider");
        auto *contrast = panels.find<SetValueSlider>("adjust", "contrastSlider");
        QTRY_VERIFY(brightness->isEnabled());
        QCOMPARE(brightness->value(), panels.controller->brightness());

        // The focus hint hides at the fifth tick after the last press.
        auto *hint = panels.find<QLabel>("adjust", "manualFocusLabel");
        auto *timer = panels.adjust()->findChild<QTimer *>("focusLabelTimer");
        QVERIFY(hint && timer && !hint->isVisible());
        QCOMPARE(timer->interval() * 5, 1000); // one second after the last press

        panels.find("adjust", "incManualFocus")->click();
        QCOMPARE(hint->text(), QStringLiteral("Far"));
        const auto ticks = [&panels](int count) {
            while (count-- > 0)
                panels.adjust()->manualFocusLabelHide();
        };
        ticks(4);
        QVERIFY(hint->isVisible());
        panels.find("adjust", "decManualFocus")->click();
        QCOMPARE(hint->text(), QStringLiteral("Near"));
        ticks(4);
        QVERIFY(hint->isVisible() && timer->isActive());
        ticks(1);
        QVERIFY(!hint->isVisible() && !timer->isActive());

        // A drag sends one value, when the handle is let go.
        QSignalSpy released(brightness, &SetValueSlider::mouseReleaseValue);
        dragSliderTo(brightness, true);
        QCOMPARE(released, (QList<QVariantList>{{100u}}));
        QTRY_COMPARE(panels.controller->brightness(), 100);

        // Wheel notches and held keys send as they come: a burst of five steps reaches the
        // camera as its first value and then its last.
        for (SetValueSlider *slider : {brightness, contrast}) {
            const bool wheel = slider == brightness;
            QSignalSpy reported(panels.controller,
                                wheel ? &KivoscopeIntf::brightnessChanged
                                      : &KivoscopeIntf::contrastChanged);
            const QPointF at = slider->rect().center();
            QWheelEvent notch(at, slider->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            for (int step = 0; step < 5; ++step)
                wheel ? void(QApplication::sendEvent(slider, &notch))
                      : QTest::keyPress(slider, Qt::Key_Right);
            const int target = slider->value();
            QTRY_COMPARE(wheel ? panels.device->brightness() : panels.device->contrast(), target);
            QTRY_VERIFY(!reported.isEmpty() && reported.last().at(0).toInt() == target);
            QCOMPARE(reported.size(), 2);
        }

        // The exposure shows its number.
        const int exposure = panels.controller->exposure();
        panels.controller->setAutoExposure(false);
        QTRY_VERIFY(panels.find("adjust", "incExposureBtn")->isEnabled());
        panels.find("adjust", "incExposureBtn")->click();
        QTRY_VERIFY(panels.controller->exposure() > exposure);
        QCOMPARE(panels.find<QLabel>("adjust", "exposureValue")->text(),
                 QString::number(panels.controller->exposure()));
        // Reset brings the camera's own settings back into view.
        panels.find("adjust", "resetBtn")->click();
        QTRY_COMPARE(brightness->value(), 50);
        QTRY_COMPARE(panels.find<QLabel>("adjust", "exposureValue")->text(), QStringLiteral("50"));

        const auto checked = [&panels](QStringList names) {
            names.removeIf(
                    [&panels](const QString &n) { return !panels.find("adjust", n)->isChecked(); });
            return names;
        };
        // A change made elsewhere (the camera's own buttons) shows in the panel.
        const QStringList effects{"blackWhite", "negative"};
        for (int effect : {2, 1}) {
            panels.controller->setColorEffect(effect);
            QTRY_COMPARE(checked(effects), QStringList{effects.at(effect - 1)});
        }
        for (int mode : {4, 3, 0}) {
            panels.controller->setCameraMode(mode);
            QTRY_COMPARE(checked(ModeButtons),
                         mode ? QStringList{ModeButtons.at(mode - 1)} : QStringList());
        }
    }
};

VELORA_TEST_MAIN(TestDocCamPanels)
#include "tst_doccampanels.moc"

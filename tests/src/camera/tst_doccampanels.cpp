#include <DocCamActionStatus.h>
#include <DocCamAdjustToolsPanel.h>
#include <DocCamControlPanel.h>
#include <DocCamManager.h>
#include <KivoDocCam.h>
#include <KivoscopeIntf.h>
#include <MessageBox.h>
#include <SetValueSlider.h>
#include <SimulatedCameras.h>
#include <VeloraTest.h>
#include <WidgetModeDocCamCtrlPanel.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>

namespace {

/// A simulated document camera plugged in for one test.
struct Attached
{
    QString key;
    Attached()
    {
        SimulatedCameras::Setup setup;
        setup.modelName = QStringLiteral("Panel desk");
        setup.size = QSize(320, 240);
        setup.frameRate = 60;
        key = SimulatedCameras::add(setup);
    }
    ~Attached() { SimulatedCameras::remove(key); }

    /// The camera as the library sees it, to read what the lens and gains did.
    KivoDocCam *device() const
    {
        DocCamManager *manager = DocCamManager::getDocCamManager({});
        const QList<KivoDocCam *> cameras = manager->cameras();
        manager->release();
        return cameras.isEmpty() ? nullptr : cameras.first();
    }
};

/// The controller over a shown window, with all three panels as the main window places them.
struct Panels
{
    QWidget window;
    KivoscopeIntf *controller;
    DocCamControlPanel *control;
    WidgetModeDocCamCtrlPanel *widgetMode;

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
    DocCamAdjustToolsPanel *adjust() const { return control->adjustPanel(); }

    QWidget *panel(const QString &name) const
    {
        if (name == QLatin1String("control"))
            return control;
        if (name == QLatin1String("widget"))
            return widgetMode;
        return adjust();
    }
    template<typename T = QToolButton> T *find(const QString &panelName, const QString &name) const
    {
        return panel(panelName)->findChild<T *>(name);
    }
};

const QStringList ControlButtons = {QStringLiteral("autoFocusBtn"), QStringLiteral("zoomInBtn"),
                                    QStringLiteral("zoomOutBtn"),   QStringLiteral("resetZoomBtn"),
                                    QStringLiteral("pauseBtn"),     QStringLiteral("rotateBtn"),
                                    QStringLiteral("mirrorBtn")};
const QStringList WidgetButtons = {QStringLiteral("focusBtn"),   QStringLiteral("zoomInBtn"),
                                   QStringLiteral("zoomOutBtn"), QStringLiteral("zoomResetBtn"),
                                   QStringLiteral("pauseBtn"),   QStringLiteral("rotateBtn"),
                                   QStringLiteral("mirrorBtn")};

const QStringList AdjustControls
        = {QStringLiteral("brightnessSlider"), QStringLiteral("decBrightnessBtn"),
           QStringLiteral("incBrightnessBtn"), QStringLiteral("contrastSlider"),
           QStringLiteral("decContrastBtn"),   QStringLiteral("incContrastBtn"),
           QStringLiteral("blackWhite"),       QStringLiteral("negative"),
           QStringLiteral("autoExposureBox"),  QStringLiteral("decExposureBtn"),
           QStringLiteral("incExposureBtn"),   QStringLiteral("decManualFocus"),
           QStringLiteral("incManualFocus"),   QStringLiteral("autoWhiteBalanceBox"),
           QStringLiteral("decRedBtn"),        QStringLiteral("incRedBtn"),
           QStringLiteral("decBlueBtn"),       QStringLiteral("incBlueBtn"),
           QStringLiteral("enhanceBtn"),       QStringLiteral("wideAngleBtn"),
           QStringLiteral("microScopeBtn"),    QStringLiteral("infinityBtn"),
           QStringLiteral("macroBtn"),         QStringLiteral("autoImgBtn")};

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

    void eachStatusBitEnablesItsButton_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < ControlButtons.size(); ++i)
            QTest::newRow(qPrintable(ControlButtons.at(i))) << i;
    }

    void eachStatusBitEnablesItsButton()
    {
        QFETCH(int, index);
        Panels panels;
        // Without a camera nothing can be pressed.
        QCOMPARE(enabledAmong(panels.control, ControlButtons), QStringList());
        QCOMPARE(enabledAmong(panels.widgetMode, WidgetButtons), QStringList());

        Q_EMIT panels.controller->actionStatusChanged(1u << index);
        QCOMPARE(enabledAmong(panels.control, ControlButtons), QStringList{ControlButtons[index]});
        QCOMPARE(enabledAmong(panels.widgetMode, WidgetButtons), QStringList{WidgetButtons[index]});

        // And every other bit leaves it alone.
        Q_EMIT panels.controller->actionStatusChanged(0x7Fu & ~(1u << index));
        QVERIFY(!panels.find(QStringLiteral("control"), ControlButtons[index])->isEnabled());
        QVERIFY(!panels.find(QStringLiteral("widget"), WidgetButtons[index])->isEnabled());
        QCOMPARE(enabledAmong(panels.control, ControlButtons).size(), 6);
    }

    void adjustControlsFollowTheHigherBits_data()
    {
        QTest::addColumn<uint>("status");
        QTest::addColumn<QStringList>("enabled");
        const QStringList basic = AdjustControls.mid(0, 8);
        const uint live = 0x7F;
        QTest::newRow("no camera") << 0u << QStringList();
        QTest::newRow("frozen") << 0x10u << QStringList();
        QTest::newRow("basic") << live << basic;
        QTest::newRow("manual focus")
                << (live | 0x400) << basic + QStringList{"decManualFocus", "incManualFocus"};
        QTest::newRow("auto exposure")
                << (live | 0x200000) << basic + QStringList{"autoExposureBox"};
        QTest::newRow("manual exposure")
                << (live | 0x200000 | 0x800)
                << basic + QStringList{"autoExposureBox", "decExposureBtn", "incExposureBtn"};
        QTest::newRow("exposure off without control") << (live | 0x800) << basic;
        QTest::newRow("auto white balance")
                << (live | 0x1000) << basic + QStringList{"autoWhiteBalanceBox"};
        QTest::newRow("manual white balance") << (live | 0x1000 | 0x2000)
                                              << basic
                        + QStringList{"autoWhiteBalanceBox", "decRedBtn", "incRedBtn", "decBlueBtn",
                                      "incBlueBtn"};
        QTest::newRow("gains without white balance") << (live | 0x2000) << basic;
        QTest::newRow("camera modes") << (live | 0x4000)
                                      << basic
                        + QStringList{"enhanceBtn", "wideAngleBtn", "microScopeBtn", "infinityBtn",
                                      "macroBtn"};
        QTest::newRow("auto image") << (live | 0x40000) << basic + QStringList{"autoImgBtn"};
    }

    void adjustControlsFollowTheHigherBits()
    {
        QFETCH(uint, status);
        QFETCH(QStringList, enabled);
        Panels panels;
        Q_EMIT panels.controller->actionStatusChanged(0x7FFFFFFF);
        Q_EMIT panels.controller->actionStatusChanged(status);
        QCOMPARE(enabledAmong(panels.adjust(), AdjustControls), enabled);
        QCOMPARE(panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"))->isEnabled(),
                 DocCamAction::isLive(status));
    }

    void frozenPictureLeavesOnlyPause()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(enabledAmong(panels.control, ControlButtons), ControlButtons,
                                  5000);
        QCOMPARE(enabledAmong(panels.widgetMode, WidgetButtons), WidgetButtons);
        QToolButton *pause = panels.find(QStringLiteral("control"), QStringLiteral("pauseBtn"));
        QToolButton *widgetPause
                = panels.find(QStringLiteral("widget"), QStringLiteral("pauseBtn"));
        QVERIFY(!pause->isChecked());

        pause->click();
        QTRY_VERIFY_WITH_TIMEOUT(pause->isChecked(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(enabledAmong(panels.control, ControlButtons),
                                  QStringList{"pauseBtn"}, 5000);
        QVERIFY(widgetPause->isChecked());
        QCOMPARE(enabledAmong(panels.widgetMode, WidgetButtons), QStringList{"pauseBtn"});
        QVERIFY(!panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"))->isEnabled());

        // Either bar lets the picture go again.
        widgetPause->click();
        QTRY_VERIFY_WITH_TIMEOUT(!widgetPause->isChecked(), 5000);
        QVERIFY(!pause->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(enabledAmong(panels.control, ControlButtons), ControlButtons,
                                  5000);
    }

    void freezingClosesTheAdjustPanel()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        QToolButton *adjust = panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"));
        QTRY_VERIFY_WITH_TIMEOUT(adjust->isEnabled(), 5000);
        QSignalSpy adjustClicks(adjust, &QToolButton::clicked);
        adjust->click();
        QVERIFY(panels.control->isAdjustPanelOpen());
        QVERIFY(panels.adjust()->isVisible());

        panels.find(QStringLiteral("widget"), QStringLiteral("pauseBtn"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!panels.control->isAdjustPanelOpen(), 5000);
        QVERIFY(!panels.adjust()->isVisible());
        QVERIFY(!adjust->isChecked());
        QCOMPARE(adjustClicks.size(), 2);

        // The freeze report alone closes it too, whatever order the reports come in.
        panels.find(QStringLiteral("widget"), QStringLiteral("pauseBtn"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(adjust->isEnabled(), 5000);
        adjust->click();
        QVERIFY(panels.control->isAdjustPanelOpen());
        Q_EMIT panels.controller->freezeStatusChanged(true);
        QVERIFY(!panels.control->isAdjustPanelOpen());
        QVERIFY(!panels.adjust()->isVisible());
        QVERIFY(panels.find(QStringLiteral("control"), QStringLiteral("pauseBtn"))->isChecked());
        Q_EMIT panels.controller->freezeStatusChanged(false);

        // Ending the freeze does not bring it back by itself.
        panels.find(QStringLiteral("widget"), QStringLiteral("pauseBtn"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!adjust->isEnabled(), 5000);
        panels.find(QStringLiteral("widget"), QStringLiteral("pauseBtn"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(adjust->isEnabled(), 5000);
        QVERIFY(!panels.control->isAdjustPanelOpen());
    }

    void focusHintHidesOneSecondAfterTheLastPress()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"))->click();
        QToolButton *far = panels.find(QStringLiteral("adjust"), QStringLiteral("incManualFocus"));
        QToolButton *near = panels.find(QStringLiteral("adjust"), QStringLiteral("decManualFocus"));
        auto *hint
                = panels.find<QLabel>(QStringLiteral("adjust"), QStringLiteral("manualFocusLabel"));
        QVERIFY(hint && far && near);
        QTRY_VERIFY_WITH_TIMEOUT(far->isEnabled(), 5000);
        QVERIFY(!hint->isVisible());

        far->click();
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QStringLiteral("Far"));
        QTest::qWait(600);
        near->click();
        QElapsedTimer sinceLast;
        sinceLast.start();
        QCOMPARE(hint->text(), QStringLiteral("Near"));

        // Past the first press's second, the second press still holds it.
        while (sinceLast.elapsed() < 800) {
            QTest::qWait(50);
            QVERIFY2(hint->isVisible(), qPrintable(QString::number(sinceLast.elapsed())));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!hint->isVisible(), 800);
        QVERIFY2(sinceLast.elapsed() >= 950, qPrintable(QString::number(sinceLast.elapsed())));
        auto *timer = panels.adjust()->findChild<QTimer *>(QStringLiteral("focusLabelTimer"));
        QVERIFY(timer && !timer->isActive());
    }

    void buttonsReachTheCamera_data()
    {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("signal");
        // "rose" and "fell" compare with the value reported before the click.
        QTest::addColumn<QString>("expect");
        QTest::addColumn<QVariant>("value");

        const QByteArray zoom = SIGNAL(zoomRatioChanged(double));
        const QByteArray freeze = SIGNAL(freezeStatusChanged(bool));
        const QByteArray rotation = SIGNAL(rotationChanged(uint));
        const QByteArray mirror = SIGNAL(mirrorChanged(bool));
        for (const QString &panel : {QStringLiteral("control"), QStringLiteral("widget")}) {
            const bool c = panel == QLatin1String("control");
            const QString in = QStringLiteral("zoomInBtn");
            const auto row = [&](const char *name) -> QTestData & {
                return QTest::addRow("%s %s", qPrintable(panel), name);
            };
            row("zoom in") << panel << QStringList() << in << zoom << QStringLiteral("rose")
                           << QVariant();
            row("zoom out") << panel << QStringList{in} << QStringLiteral("zoomOutBtn") << zoom
                            << QStringLiteral("fell") << QVariant();
            row("zoom reset") << panel << QStringList{in, in}
                              << (c ? QStringLiteral("resetZoomBtn")
                                    : QStringLiteral("zoomResetBtn"))
                              << zoom << QStringLiteral("equal") << QVariant(1.0);
            row("pause") << panel << QStringList() << QStringLiteral("pauseBtn") << freeze
                         << QStringLiteral("equal") << QVariant(true);
            row("rotate") << panel << QStringList() << QStringLiteral("rotateBtn") << rotation
                          << QStringLiteral("equal") << QVariant(90u);
            row("mirror") << panel << QStringList() << QStringLiteral("mirrorBtn") << mirror
                          << QStringLiteral("equal") << QVariant(true);
        }

        const QString a = QStringLiteral("adjust");
        const QByteArray brightness = SIGNAL(brightnessChanged(int));
        const QByteArray contrast = SIGNAL(contrastChanged(int));
        const QByteArray effect = SIGNAL(colorEffectChanged(int));
        const QByteArray mode = SIGNAL(docCamModeChanged(int));
        QTest::newRow("brighter") << a << QStringList() << QStringLiteral("incBrightnessBtn")
                                  << brightness << QStringLiteral("rose") << QVariant();
        QTest::newRow("darker") << a << QStringList() << QStringLiteral("decBrightnessBtn")
                                << brightness << QStringLiteral("fell") << QVariant();
        QTest::newRow("more contrast") << a << QStringList() << QStringLiteral("incContrastBtn")
                                       << contrast << QStringLiteral("rose") << QVariant();
        QTest::newRow("less contrast") << a << QStringList() << QStringLiteral("decContrastBtn")
                                       << contrast << QStringLiteral("fell") << QVariant();
        QTest::newRow("black and white") << a << QStringList() << QStringLiteral("blackWhite")
                                         << effect << QStringLiteral("equal") << QVariant(1);
        QTest::newRow("negative") << a << QStringList() << QStringLiteral("negative") << effect
                                  << QStringLiteral("equal") << QVariant(2);
        QTest::newRow("negative over black and white")
                << a << QStringList{"blackWhite"} << QStringLiteral("negative") << effect
                << QStringLiteral("equal") << QVariant(2);
        QTest::newRow("black and white off")
                << a << QStringList{"blackWhite"} << QStringLiteral("blackWhite") << effect
                << QStringLiteral("equal") << QVariant(0);
        const QStringList modes
                = {"enhanceBtn", "wideAngleBtn", "microScopeBtn", "infinityBtn", "macroBtn"};
        for (int i = 0; i < modes.size(); ++i)
            QTest::addRow("mode %s", qPrintable(modes[i]))
                    << a << QStringList() << modes[i] << mode << QStringLiteral("equal")
                    << QVariant(i + 1);
        QTest::newRow("macro over wide angle")
                << a << QStringList{"wideAngleBtn"} << QStringLiteral("macroBtn") << mode
                << QStringLiteral("equal") << QVariant(5);
        QTest::newRow("microscope off")
                << a << QStringList{"microScopeBtn"} << QStringLiteral("microScopeBtn") << mode
                << QStringLiteral("equal") << QVariant(0);
        QTest::newRow("auto image") << a << QStringList() << QStringLiteral("autoImgBtn")
                                    << QByteArray(SIGNAL(autoImageChanged(bool)))
                                    << QStringLiteral("equal") << QVariant(true);
    }

    void buttonsReachTheCamera()
    {
        QFETCH(QString, panel);
        QFETCH(QStringList, before);
        QFETCH(QString, button);
        QFETCH(QByteArray, signal);
        QFETCH(QString, expect);
        QFETCH(QVariant, value);

        Panels panels;
        // Listening from before the connection catches the values the camera starts with.
        QSignalSpy reported(panels.controller, signal.constData());
        QVERIFY(reported.isValid());
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!reported.isEmpty(), 5000);
        if (panel == QLatin1String("adjust"))
            panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"))->click();

        for (const QString &name : before + QStringList{button}) {
            QToolButton *pressed = panels.find(panel, name);
            QVERIFY2(pressed, qPrintable(name));
            QTRY_VERIFY_WITH_TIMEOUT(pressed->isEnabled(), 5000);
            const qsizetype count = reported.size();
            pressed->click();
            QTRY_VERIFY2_WITH_TIMEOUT(reported.size() > count, qPrintable(name), 5000);
        }
        // The last report is the camera's answer to the last click.
        QTest::qWait(50);
        const QVariant after = reported.last().at(0);
        const QVariant beforeClick = reported.at(reported.size() - 2).at(0);
        if (expect == QLatin1String("equal"))
            QCOMPARE(after, value);
        else if (expect == QLatin1String("rose"))
            QVERIFY2(after.toDouble() > beforeClick.toDouble(), qPrintable(after.toString()));
        else
            QVERIFY2(after.toDouble() < beforeClick.toDouble(), qPrintable(after.toString()));
    }

    void checkedButtonsFollowTheReportedEffectAndMode()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        const auto checked = [&panels](const char *name) {
            return panels.find(QStringLiteral("adjust"), QLatin1String(name))->isChecked();
        };
        // A change made elsewhere (the camera's own buttons) shows in the panel.
        panels.controller->setColorEffect(2);
        QTRY_VERIFY_WITH_TIMEOUT(checked("negative"), 5000);
        QVERIFY(!checked("blackWhite"));
        panels.controller->setColorEffect(1);
        QTRY_VERIFY_WITH_TIMEOUT(checked("blackWhite"), 5000);
        QVERIFY(!checked("negative"));

        panels.controller->setCameraMode(4);
        QTRY_VERIFY_WITH_TIMEOUT(checked("infinityBtn"), 5000);
        panels.controller->setCameraMode(3);
        QTRY_VERIFY_WITH_TIMEOUT(checked("microScopeBtn"), 5000);
        QVERIFY(!checked("infinityBtn"));
        panels.controller->setCameraMode(0);
        QTRY_VERIFY_WITH_TIMEOUT(!checked("microScopeBtn"), 5000);
        for (const char *name : {"enhanceBtn", "wideAngleBtn", "infinityBtn", "macroBtn"})
            QVERIFY2(!checked(name), name);
    }

    void slidersSendTheirValueOnRelease()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        panels.find(QStringLiteral("control"), QStringLiteral("adjustBtn"))->click();
        auto *brightness = panels.find<SetValueSlider>(QStringLiteral("adjust"),
                                                       QStringLiteral("brightnessSlider"));
        auto *contrast = panels.find<SetValueSlider>(QStringLiteral("adjust"),
                                                     QStringLiteral("contrastSlider"));
        QVERIFY(brightness && contrast);
        QTRY_VERIFY_WITH_TIMEOUT(brightness->isEnabled(), 5000);
        QCOMPARE(brightness->value(), panels.controller->brightness());

        QSignalSpy brightnessReported(panels.controller, &KivoscopeIntf::brightnessChanged);
        QSignalSpy released(brightness, &SetValueSlider::mouseReleaseValue);
        dragSliderTo(brightness, true);
        QCOMPARE(released.size(), 1);
        QCOMPARE(released.at(0).at(0).toUInt(), 100u);
        QTRY_COMPARE_WITH_TIMEOUT(brightnessReported.size(), 1, 5000);
        QCOMPARE(brightnessReported.at(0).at(0).toInt(), 100);

        QSignalSpy contrastReported(panels.controller, &KivoscopeIntf::contrastChanged);
        dragSliderTo(contrast, false);
        QTRY_COMPARE_WITH_TIMEOUT(contrastReported.size(), 1, 5000);
        QCOMPARE(contrastReported.at(0).at(0).toInt(), 0);

        // A step from the buttons moves the slider to the camera's new value.
        panels.find(QStringLiteral("adjust"), QStringLiteral("decBrightnessBtn"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(brightnessReported.size(), 2, 5000);
        QVERIFY(panels.controller->brightness() < 100);
        QCOMPARE(brightness->value(), panels.controller->brightness());
    }

    void lensExposureAndGainButtonsMoveTheCamera()
    {
        Panels panels;
        Attached camera;
        QTRY_VERIFY_WITH_TIMEOUT(panels.controller->isConnected(), 5000);
        KivoDocCam *device = camera.device();
        QVERIFY(device);
        const auto button = [&panels](const char *name) {
            return panels.find(QStringLiteral("adjust"), QLatin1String(name));
        };
        const int sharp = device->focus();

        button("incManualFocus")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->focus() > sharp, 5000);
        button("decManualFocus")->click();
        button("decManualFocus")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->focus() < sharp, 5000);
        // Automatic focus brings the lens back to the sharp position.
        panels.find(QStringLiteral("widget"), QStringLiteral("focusBtn"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(device->focus(), sharp, 5000);
        button("decManualFocus")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->focus() != sharp, 5000);
        panels.find(QStringLiteral("control"), QStringLiteral("autoFocusBtn"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(device->focus(), sharp, 5000);

        // The gains and the exposure open up once the camera leaves its automatic settings.
        QVERIFY(!button("incRedBtn")->isEnabled());
        QVERIFY(!button("incExposureBtn")->isEnabled());
        panels.controller->setAutoWhiteBalance(false);
        panels.controller->setAutoExposure(false);
        QTRY_VERIFY_WITH_TIMEOUT(button("incRedBtn")->isEnabled(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(button("incExposureBtn")->isEnabled(), 5000);
        auto *autoExposure = panels.find<QCheckBox>(QStringLiteral("adjust"),
                                                    QStringLiteral("autoExposureBox"));
        QVERIFY(autoExposure && !autoExposure->isChecked());

        const unsigned red = device->redGain();
        const unsigned blue = device->blueGain();
        button("incRedBtn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->redGain() > red, 5000);
        button("decRedBtn")->click();
        button("decRedBtn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->redGain() < red, 5000);
        button("incBlueBtn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->blueGain() > blue, 5000);
        button("decBlueBtn")->click();
        button("decBlueBtn")->click();
        QTRY_VERIFY_WITH_TIMEOUT(device->blueGain() < blue, 5000);

        QSignalSpy exposure(panels.controller, &KivoscopeIntf::exposureChanged);
        const int start = panels.controller->exposure();
        button("incExposureBtn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(exposure.size(), 1, 5000);
        QVERIFY(exposure.at(0).at(0).toInt() > start);
        auto *shown
                = panels.find<QLabel>(QStringLiteral("adjust"), QStringLiteral("exposureValue"));
        QCOMPARE(shown->text(), QString::number(exposure.at(0).at(0).toInt()));
        button("decExposureBtn")->click();
        QTRY_COMPARE_WITH_TIMEOUT(exposure.size(), 2, 5000);
        QCOMPARE(exposure.at(1).at(0).toInt(), start);
    }
};

VELORA_TEST_MAIN(TestDocCamPanels)
#include "tst_doccampanels.moc"

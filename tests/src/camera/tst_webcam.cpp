#include "PluggedCamera.h"

#include <CameraStarter.h>
#include <CameraWidget.h>
#include <PipView.h>
#include <SettingIntf.h>
#include <SplitScreenPanel.h>
#include <VeloraTest.h>
#include <WebCamImpl.h>

#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

namespace {

const QString NotConnected = QStringLiteral("Camera not connected");
const QString InUse = QStringLiteral("Camera in use");
const QString VendorKey = QStringLiteral("webCam/LastWebCamVID");
const QString ProductKey = QStringLiteral("webCam/LastWebCamPID");
const QString LocationKey = QStringLiteral("webCam/LastWebCamLocationID");

/// A simulated webcam plugged in for one test.
struct Webcam : PluggedCamera
{
    explicit Webcam(const QString &model, quint16 vendor = 0x1d6b, quint16 product = 0,
                    quint32 location = 0, bool busy = false)
        : PluggedCamera(model, [=](SimulatedCameras::Setup &setup) {
            setup.documentCamera = false;
            setup.vendorId = vendor;
            setup.productId = product;
            setup.locationId = location;
            setup.busy = busy;
        })
    { }
};

/// The component for one test, its main view in a shown window, given back at the end.
struct Component
{
    QWidget window;
    WebCamImpl *impl;

    Component()
        : impl(WebCamImpl::getInstance(&window))
    {
        window.resize(640, 240);
        impl->mainView()->setGeometry(0, 0, 320, 240);
        window.show();
    }
    ~Component() { impl->release(); }
    WebCamImpl *operator->() const { return impl; }
    QTimer *timer(const char *name) const { return impl->findChild<QTimer *>(QLatin1String(name)); }
    CameraWidget *makeAuxView() const
    {
        CameraWidget *aux = impl->createAuxView(const_cast<QWidget *>(&window));
        aux->setGeometry(320, 0, 320, 240);
        aux->show();
        return aux;
    }
};

void storePreference(uint vendor, uint product, const QString &location)
{
    SettingIntf *settings = SettingIntf::getInstance();
    settings->setValue(VendorKey, vendor);
    settings->setValue(ProductKey, product);
    settings->setValue(LocationKey, location);
    settings->release();
}

qint64 sequenceOf(CameraWidget *view)
{
    return view->frame().isNull() ? -1 : view->frame().sequence();
}

} // namespace

class TestWebCam : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { storePreference(0, 0, QString()); }

    void aChosenWebcamIsRememberedThenFoundByItsSocketOrItsModel()
    {
        Webcam other(QStringLiteral("Other"), 0x0bda, 0x0101, 0x100);
        Webcam first(QStringLiteral("Cam"), 0x046d, 0x0825, 0x1100);
        Webcam second(QStringLiteral("Cam"), 0x046d, 0x0825, 0x1200);
        {
            // Without a stored camera the first is chosen.
            Component component;
            QTRY_COMPARE(component->cameraCount(), 3);
            component->switchDisplayOn();
            QTRY_COMPARE(component->mainCameraIndex(), 0);
            QTRY_VERIFY(sequenceOf(component->mainView()) > 0);
            component->switchDisplayOff();
            QVERIFY(component->mainView()->frame().isNull());
            QCOMPARE(component->mainCameraIndex(), -1);
            QCOMPARE(component->mainView()->statusText(), NotConnected);

            QCOMPARE(component->selectMainCamera(3), WebCamResult::OutOfRange);
            QCOMPARE(component->selectMainCamera(-1), WebCamResult::OutOfRange);
            QCOMPARE(component->selectMainCamera(2), Result::Success);
            SettingIntf *settings = SettingIntf::getInstance();
            QCOMPARE(settings->value(VendorKey).toUInt(), 0x046du);
            QCOMPARE(settings->value(ProductKey).toUInt(), 0x0825u);
            QCOMPARE(settings->value(LocationKey).toString(), QString::number(0x1200));
            settings->release();
            // The display is off: remembered, not opened.
            QCOMPARE(component->mainCameraIndex(), -1);
            component->switchDisplayOn();
            QTRY_COMPARE(component->mainCameraIndex(), 2);
        }
        // Only the low 16 bits of the stored ids count.
        storePreference(0x1046d, 0x30825, QString::number(0x1200));
        Component component;
        QTRY_COMPARE(component->cameraCount(), 3);
        component->switchDisplayOn();
        QTRY_COMPARE(component->mainCameraIndex(), 2);
        QSignalSpy lost(component.impl, &WebCamIntf::currentWebCamDisconnected);
        second.unplug();
        QTRY_COMPARE(lost.size(), 1);
        // The same model in another socket wins over the first camera in the list.
        QTRY_COMPARE(component->mainCameraIndex(), 1);
        QTRY_VERIFY(!component->mainView()->frame().isNull());
    }

    void auxiliaryViewMirrorsTheMainCameraUntilTheMainCameraChanges()
    {
        Webcam a(QStringLiteral("A"));
        Component component;
        QCOMPARE(component->selectAuxCamera(0), Result::Failure);
        component->switchDisplayOn();
        QTRY_VERIFY(!component->mainView()->frame().isNull());

        CameraWidget *aux = component.makeAuxView();
        QCOMPARE(component->selectAuxCamera(0), Result::Success);
        QCOMPARE(component->auxCameraIndex(), 0);
        QCOMPARE(component->mainView()->forwardTarget(), aux);
        // The camera has one stream: opening it again would have answered busy.
        QVERIFY(!component.timer("auxRetryTimer")->isActive());
        QVERIFY(aux->statusText() != InUse);
        QTRY_VERIFY(sequenceOf(aux) > 0);
        const qint64 first = sequenceOf(aux);
        QTRY_VERIFY(sequenceOf(aux) > first + 3);

        // Another main camera: the auxiliary view opens camera A itself.
        Webcam b(QStringLiteral("B"));
        QTRY_COMPARE(component->cameraCount(), 2);
        QCOMPARE(component->selectMainCamera(1), Result::Success);
        QTRY_COMPARE(component->auxCameraIndex(), 0);
        QCOMPARE(component->mainView()->forwardTarget(), nullptr);
        const qint64 auxNow = sequenceOf(aux);
        QTRY_VERIFY(sequenceOf(aux) > auxNow);

        component->closeAuxCamera();
        QCOMPARE(component->auxView(), nullptr);
        const qint64 mainNow = sequenceOf(component->mainView());
        QTRY_VERIFY(sequenceOf(component->mainView()) > mainNow);
    }

    void busyWebcamIsRetriedEveryTwoSecondsInEitherView()
    {
        Webcam held(QStringLiteral("Held"), 0x1d6b, 0, 0, true);
        Component component;
        QTRY_COMPARE(component->cameraCount(), 1);
        component->switchDisplayOn();
        CameraWidget *aux = component.makeAuxView();
        QCOMPARE(component->selectAuxCamera(0), Result::Success);
        for (CameraWidget *view : {component->mainView(), aux})
            QTRY_COMPARE(view->statusText(), InUse);
        QTimer *retry = component.timer("mainRetryTimer");
        QTimer *auxRetry = component.timer("auxRetryTimer");
        QVERIFY(retry->isActive() && auxRetry->isActive());
        QCOMPARE(auxRetry->interval(), 2000);

        // Still held: the retry arms itself again at its own period.
        retry->start(1);
        QTRY_COMPARE(retry->interval(), 2000);
        QVERIFY(retry->isActive());
        QCOMPARE(component->mainView()->statusText(), InUse);

        SimulatedCameras::setBusy(held.key, false);
        retry->start(1);
        QTRY_VERIFY(!component->mainView()->frame().isNull());
        QVERIFY(!retry->isActive());
        QCOMPARE(component->mainCameraIndex(), 0);
        auxRetry->start(1);
        QTRY_VERIFY(!aux->frame().isNull());

        // Unplugged, it is gone from both views, and both hear of it.
        QSignalSpy lost(component.impl, &WebCamIntf::currentWebCamDisconnected);
        QSignalSpy auxLost(component.impl, &WebCamIntf::currentAuxWebCamDisconnected);
        held.unplug();
        QTRY_COMPARE(auxLost.size(), 1);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(component->auxCameraIndex(), -1);
        QVERIFY(aux->frame().isNull());
        QCOMPARE(aux->statusText(), NotConnected);
    }

    void slowWebcamOpensWhileTheWindowGoesOn_data()
    {
        QTest::addColumn<bool>("switchedOff");
        QTest::newRow("opens") << false;
        QTest::newRow("display switched off while starting") << true;
    }

    void slowWebcamOpensWhileTheWindowGoesOn()
    {
        QFETCH(bool, switchedOff);
        Webcam slow(QStringLiteral("Slow"));
        SimulatedCameras::setStartDelay(slow.key, 10000);
        Component component;
        QTRY_COMPARE(component->cameraCount(), 1);
        component->switchDisplayOn();
        QTRY_VERIFY(SimulatedCameras::isStarting(slow.key));
        bool served = false;
        QTimer::singleShot(0, [&served] { served = true; });
        QTRY_VERIFY(served);
        QVERIFY(SimulatedCameras::isStarting(slow.key));
        QCOMPARE(component->mainCameraIndex(), -1);

        if (switchedOff)
            component->switchDisplayOff();
        SimulatedCameras::setStartDelay(slow.key, 0);
        for (CameraStarter *starter : component.impl->findChildren<CameraStarter *>())
            starter->waitForIdle();
        QCOMPARE(component->mainCameraIndex(), switchedOff ? -1 : 0);
        QTRY_COMPARE(component->mainView()->frame().isNull(), switchedOff);
    }

    void hotPlugIsAnnouncedByNumberedNamesAndTheFirstCameraShown()
    {
        Component component;
        component->switchDisplayOn();
        QCOMPARE(component->mainView()->statusText(), NotConnected);
        QSignalSpy changed(component.impl, &WebCamIntf::webCamListChanged);
        // Document cameras are not the webcam component's.
        PluggedCamera document(QStringLiteral("Document"));
        auto first = std::make_unique<Webcam>(QStringLiteral("Cam"));
        QTRY_VERIFY(!component->mainView()->frame().isNull());
        Webcam second(QStringLiteral("Cam"));
        Webcam solo(QStringLiteral("Solo"));
        QTRY_COMPARE(changed.size(), 3);
        QCOMPARE(changed.last().at(0).value<QList<QString>>(),
                 (QList<QString>{"Cam #1", "Cam #2", "Solo"}));
        first.reset();
        QTRY_COMPARE(changed.size(), 4);
        QCOMPARE(changed.last().at(0).value<QList<QString>>(), (QList<QString>{"Cam", "Solo"}));
        QCOMPARE(component->cameraNames(), (QList<QString>{"Cam", "Solo"}));
        // Each repeated model is numbered on its own.
        QCOMPARE(WebCamImpl::displayNames({"Cam", "X", "Cam", "Y", "X"}),
                 (QList<QString>{"Cam #1", "X #1", "Cam #2", "Y", "X #2"}));
    }

    void moveButtonStaysAtTheCornerAndAsksToMove()
    {
        QWidget window;
        auto *pip = new PipView(&window);
        pip->setGeometry(0, 0, 240, 180);
        auto *view = new QWidget;
        view->resize(160, 120);
        pip->centreView(view);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QToolButton *button = pip->moveButton();
        QCOMPARE(button->geometry().bottomRight(), pip->contentsRect().bottomRight());
        QCOMPARE(view->parentWidget(), pip);
        QCOMPARE(view->geometry().center(), pip->contentsRect().center());
        // Raised above the view it holds: the last child is drawn on top.
        QCOMPARE(pip->children().last(), button);

        pip->resize(320, 200);
        QCOMPARE(button->geometry().bottomRight(), pip->contentsRect().bottomRight());

        QSignalSpy moved(pip, &PipView::movePressed);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(pip->cursor().shape(), Qt::ArrowCursor);

        // The frame walks clockwise from the top right and wraps: here a 200 by 150 frame in a
        // 1000 by 600 area that starts at (10, 20).
        QList<QPoint> walked;
        for (int i = 0; i < 5; ++i) {
            walked.append(
                    PipView::cornerGeometry({10, 20, 1000, 600}, {200, 150}, pip->cornerIndex())
                            .topLeft());
            pip->setCornerIndex(pip->nextCornerIndex());
        }
        QCOMPARE(walked, (QList<QPoint>{{810, 20}, {810, 470}, {10, 470}, {10, 20}, {810, 20}}));
    }

    void splitButtonsAskForTheirLayoutsInOrder()
    {
        SplitScreenPanel panel;
        panel.show();
        QList<int> asked;
        const QList<void (SplitScreenPanel::*)()> signalsInOrder{
                &SplitScreenPanel::oneSplitRequested,    &SplitScreenPanel::pipSplitRequested,
                &SplitScreenPanel::dwTwoSplitRequested,  &SplitScreenPanel::dmTwoSplitRequested,
                &SplitScreenPanel::dThreeSplitRequested, &SplitScreenPanel::wThreeSplitRequested,
                &SplitScreenPanel::mThreeSplitRequested};
        for (int i = 0; i < signalsInOrder.size(); ++i)
            connect(&panel, signalsInOrder.at(i), this, [&asked, i] { asked.append(i); });

        const QStringList buttons{"oneSplitBtn",    "pipSplitBtn",    "dwSplitBtn",    "dmSplitBtn",
                                  "dThreeSplitBtn", "wThreeSplitBtn", "mThreeSplitBtn"};
        for (const QString &name : buttons) {
            auto *button = panel.findChild<QToolButton *>(name);
            QVERIFY2(button, qPrintable(name));
            // The icon is a real picture from the resources, not an empty placeholder.
            QVERIFY2(!button->icon().pixmap(32, 32).isNull(), qPrintable(name));
            QTest::mouseClick(button, Qt::LeftButton);
        }
        QCOMPARE(asked, (QList<int>{0, 1, 2, 3, 4, 5, 6}));
    }
};

VELORA_TEST_MAIN(TestWebCam)
#include "tst_webcam.moc"

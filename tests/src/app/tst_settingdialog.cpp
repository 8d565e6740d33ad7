// The settings dialog with the real recording and webcam components: the test sound server's
// inputs (a null input, a 440 Hz sine and "Velora second input") and two simulated webcams.

#include <CameraWidget.h>
#include <FileDialog.h>
#include <MessageBox.h>
#include <RecordingIntf.h>
#include <SettingDialog.h>
#include <SettingIntf.h>
#include <SharedComponent.h>
#include <VeloraTest.h>
#include <WebCamIntf.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>

using namespace Qt::StringLiterals;

class TestSettingDialog : public QObject
{
    Q_OBJECT

    ComponentRef<SettingIntf> settings;
    ComponentRef<RecordingIntf> recording;
    QStringList warnings;

    /// A folder below the test's home whose path is exactly `length` characters long.
    static QString folderOfLength(int length)
    {
        QString path = VeloraTest::homePath() + u"/f"_s;
        path += QString(length - path.size(), u'x');
        return QDir().mkpath(path) ? path : QString();
    }

private Q_SLOTS:
    void init()
    {
        warnings.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            warnings << question.title + u": "_s + question.text;
            return QMessageBox::Ok;
        });
    }

    void microphoneChoiceCancelledRestoresInputAndVolume()
    {
        // Nobody chose an input yet: the first one is stored for them.
        settings->setAudioSource(QString());
        ComponentRef<WebCamIntf> webCam;
        SettingDialog dialog(recording.get(), webCam.get());
        const QString first = recording->getAudioSources().value(0);
        QVERIFY(!first.isEmpty());
        QCOMPARE(settings->getAudioSource(), first);
        QCOMPARE(dialog.tabs()->isTabVisible(2), false);

        recording->setVolume(80);
        dialog.show();
        QCOMPARE(dialog.microphoneSelector()->currentText(), first);
        QCOMPARE(dialog.microphoneVolume()->value(), 80);
        dialog.microphoneVolume()->setValue(30);
        QCOMPARE(recording->getVolume(), 30u);
        Q_EMIT dialog.microphoneSelector()->textActivated(u"Sine source at 440 Hz"_s);
        QCOMPARE(settings->getAudioSource(), u"Sine source at 440 Hz"_s);
        // The level bar follows the new input.
        QTRY_VERIFY_WITH_TIMEOUT(dialog.microphoneLevel()->value() > 0, 15000);
        dialog.microphoneVolume()->setValue(70);

        dialog.cancel();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(settings->getAudioSource(), first);
        QCOMPARE(dialog.microphoneSelector()->currentText(), first);
        // The volume the input had when the dialog opened, not the 30 set meanwhile.
        QCOMPARE(recording->getVolume(), 80u);
        QCOMPARE(dialog.microphoneVolume()->value(), 80);
        QCOMPARE(dialog.microphoneVolume()->isEnabled(), true);
    }

    void noMicrophone()
    {
        // A sound server that cannot be reached lists no inputs.
        if (!VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest({}, {u"PULSE_SERVER=unix:/nonexistent"_s}));
            return;
        }
        ComponentRef<WebCamIntf> webCam;
        SettingDialog dialog(recording.get(), webCam.get());
        QCOMPARE(dialog.microphoneSelector()->count(), 1);
        QCOMPARE(dialog.microphoneSelector()->currentText(), u"No Microphone Connection"_s);
        QVERIFY(!dialog.microphoneSelector()->isEnabled());
    }

    void mediaFolder_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("warning");
        QTest::newRow("199 characters") << 199 << QString();
        QTest::newRow("200 characters")
                << 200 << u"Error: Length of file path is over limitation"_s;
        QTest::newRow("write protected") << 0 << u"Error: Destination folder is write protected"_s;
    }

    void mediaFolder()
    {
        QFETCH(int, length);
        QFETCH(QString, warning);
        // The suite runs as root, who may write anywhere: "/" is protected for anybody else.
        const bool protectedRow = length == 0;
        if (protectedRow && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const QString folder = protectedRow ? QDir::rootPath() : folderOfLength(length);
        FileDialog::setAnswerer([folder](const FileDialog::Request &) { return folder; });
        ComponentRef<WebCamIntf> webCam;
        SettingDialog dialog(recording.get(), webCam.get());
        dialog.show();
        const QString before = dialog.saveFolder()->text();
        dialog.openFileDialog();
        FileDialog::setAnswerer({});
        QCOMPARE(warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QCOMPARE(dialog.saveFolder()->text(), warning.isEmpty() ? folder + u'/' : before);
        // The write test leaves nothing behind.
        QVERIFY(QDir(folder).entryList({u"ttt_ttt_test*"_s}).isEmpty());
        if (!warning.isEmpty())
            return;
        // Stored by Save, with the resolution the presenter picked.
        dialog.resolutionSelector()->setCurrentIndex(1);
        dialog.save();
        QCOMPARE(settings->getSavePath(), folder + u'/');
        QCOMPARE(settings->getVideoQuality(), 1);
    }

    void savingMakesThePreviewedWebcamTheMainOne()
    {
        ComponentRef<WebCamIntf> webCam;
        QTRY_COMPARE_WITH_TIMEOUT(webCam->cameraCount(), 2, 15000);
        // A split layout shows the first webcam.
        QCOMPARE(webCam->selectMainCamera(0), 0);
        webCam->switchDisplayOn();
        SettingDialog dialog(recording.get(), webCam.get());
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(webCam->auxCameraIndex(), 0, 15000);
        QCOMPARE(dialog.webCamSelector()->count(), 2);
        dialog.webCamSelector()->setCurrentIndex(1);
        Q_EMIT dialog.webCamSelector()->activated(1);
        QTRY_COMPARE_WITH_TIMEOUT(webCam->auxCameraIndex(), 1, 15000);
        QVERIFY(dialog.webCamPreviewArea()->isAncestorOf(webCam->auxView()));
        dialog.save();
        QTRY_COMPARE_WITH_TIMEOUT(webCam->mainCameraIndex(), 1, 15000);
        QVERIFY(!webCam->auxView());
        webCam->switchDisplayOff();
    }
};

VELORA_TEST_MAIN(TestSettingDialog)
#include "tst_settingdialog.moc"

#include "LogLines.h"

#include <LogSystem.h>
#include <MessageBox.h>
#include <VeloraTest.h>
#include <VideoControlPanel.h>
#include <VideoCtrlSlider.h>
#include <VideoImpl.h>
#include <VideoWidget.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>

class TestVideoImpl : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString clip;
    VideoImpl *player = nullptr;
    QStringList told;

private Q_SLOTS:
    void initTestCase()
    {
        clip = dir.filePath(QStringLiteral("Lesson.AVI"));
        QVERIFY(VeloraTest::makeVideo(clip, 2));
        LogSystem::getSysLogSystem()->setLogger(new LogLines);
        LogSystem::getSysLogSystem()->setLogLevel(LogSystem::LogDebug);
        LogSystem::getSysLogSystem()->startLog();
        player = static_cast<VideoImpl *>(VideoIntf::getInstance());
    }

    void cleanupTestCase() { player->release(); }

    void init()
    {
        told.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            told << question.title + QStringLiteral(": ") + question.text;
            return QMessageBox::Ok;
        });
    }

    void actionsRefusedWithTheirResultAndLog_data()
    {
        QTest::addColumn<bool>("attached");
        QTest::addColumn<std::function<int(VideoImpl *)>>("action");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("logged");
        using Action = std::function<int(VideoImpl *)>;
        const auto length = [](VideoImpl *v) {
            return uint(v->getTotalVideoLengthInSeconds());
        };
        QTest::newRow("start without a file") << false << Action(&VideoImpl::start) << -2000
                                              << "VideoImpl::start() - file does not exist!!";
        QTest::newRow("pause while stopped") << true << Action(&VideoImpl::pause) << -2003
                                             << "VideoImpl::pause() - Video not in playing state";
        QTest::newRow("resume while stopped") << true << Action(&VideoImpl::resume) << -2003
                                              << "VideoImpl::resume() - Video not in paused state";
        QTest::newRow("stop while stopped")
                << true << Action(&VideoImpl::stop) << -2003
                << "VideoImpl::stop() - Video not in playing or paused state";
        QTest::newRow("move to the end")
                << true << Action([=](VideoImpl *v) { return v->moveTo(length(v)); }) << 0
                << "VideoImpl::moveTo() - Move position to 2";
        QTest::newRow("move a second past the end")
                << true << Action([=](VideoImpl *v) { return v->moveTo(length(v) + 1); }) << -3000
                << "VideoImpl::moveTo() - Position is out of limit : 3";
    }

    void actionsRefusedWithTheirResultAndLog()
    {
        QFETCH(bool, attached);
        QFETCH(std::function<int(VideoImpl *)>, action);
        QFETCH(int, result);
        QFETCH(QString, logged);
        QCOMPARE(player->attachVideo(attached ? clip : QString()), attached ? 0 : -1000);
        QCOMPARE(action(player), result);
        QCOMPARE(LogLines::count(logged), 1);
        LogLines::clear();
    }

    void volumeInHundredthsOfDecibel()
    {
        QCOMPARE(player->attachVideo(clip), 0);
        QCOMPARE(player->setVolume(40), 0);
        QCOMPARE(player->mediaService()->volume(), -6000L);
        QCOMPARE(player->setVolume(101), -4000);
        QCOMPARE(player->volume(), 40);
        QCOMPARE(player->setVolume(0), 0);
        QCOMPARE(player->mediaService()->volume(), MediaService::SilentVolume);
        // The next file opens at the volume chosen.
        QCOMPARE(player->attachVideo(clip), 0);
        QCOMPARE(player->mediaService()->volume(), MediaService::SilentVolume);
        player->setVolume(100);
    }

    void fpsHintLimitsTheFramesShown_data()
    {
        QTest::addColumn<uint>("fps");
        QTest::addColumn<int>("kept");
        QTest::newRow("no hint") << 0u << 50;
        QTest::newRow("10 fps") << 10u << 17;
        QTest::newRow("25 fps") << 25u << 25;
    }

    void fpsHintLimitsTheFramesShown()
    {
        QFETCH(uint, fps);
        QFETCH(int, kept);
        VideoWidget widget;
        widget.setFpsHint(fps);
        VideoFrameReceiver *receiver = widget.frameReceiver();
        // Two seconds of 25 frames a second, timed by the frames' own times.
        QList<qint64> shown;
        for (qint64 pts = 0; pts < 2000; pts += 40) {
            receiver->deliverFrame(QImage(16, 16, QImage::Format_RGB32), pts);
            if (receiver->framePts() == pts)
                shown << pts;
        }
        QCOMPARE(shown.size(), kept);
        for (int i = 1; fps && i < shown.size(); ++i)
            QVERIFY2(shown[i] - shown[i - 1] > 1000 / fps, qPrintable(QString::number(shown[i])));
    }

    void framesPaintTheRightWayUpOverTheGradient()
    {
        VideoWidget widget;
        widget.resize(64, 48);
        LogLines::clear();
        // Without a frame: white at the top to 80 % grey at the bottom, said once in the log.
        const QImage empty = widget.grab().toImage();
        widget.grab();
        QVERIFY(qGray(empty.pixel(32, 0)) >= 252);
        QVERIFY(qAbs(qGray(empty.pixel(32, 47)) - 204) <= 3);
        QCOMPARE(LogLines::count(QStringLiteral("VideoWidget::paintEvent() - surface not active")),
                 1);
        // Decoded rows come top first: the top half stays at the top.
        QImage frame(64, 48, QImage::Format_RGB32);
        frame.fill(Qt::blue);
        for (int y = 0; y < 24; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(frame.scanLine(y)), 64, qRgb(255, 0, 0));
        widget.frameReceiver()->deliverFrame(frame, 0);
        const QImage shown = widget.grab().toImage();
        QCOMPARE(shown.pixelColor(32, 2), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(32, 45), QColor(Qt::blue));
    }

    void endedLeavesTheSliderAtZeroWithoutASeek()
    {
        VideoControlPanel panel;
        connect(player, &VideoIntf::progressUpdated, &panel,
                &VideoControlPanel::videoPlaybackCurrentTime);
        connect(player, &VideoIntf::ended, &panel, &VideoControlPanel::videoEnded);
        QSignalSpy seeks(&panel, &VideoControlPanel::setVideoCurrentTime);
        QSignalSpy moved(panel.jogSlider(), &QSlider::valueChanged);
        QSignalSpy ended(player, &VideoIntf::ended);
        QCOMPARE(player->attachVideo(clip), 0);
        panel.setVideo(uint(player->getTotalVideoLengthInSeconds()), player->volume());
        QCOMPARE(player->start(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
        QVERIFY(moved.contains({1}));
        QCOMPARE(panel.jogSlider()->value(), 0);
        QVERIFY(seeks.isEmpty());
        QCOMPARE(player->currentActionStatus(), uint(VideoIntf::Attached | VideoIntf::CanStart));
    }

    void aClickOnTheSliderSeeksThere_data()
    {
        QTest::addColumn<int>("x");
        QTest::newRow("near the start") << 10;
        QTest::newRow("middle") << 150;
        QTest::newRow("near the end") << 295;
    }

    void aClickOnTheSliderSeeksThere()
    {
        QFETCH(int, x);
        VideoControlPanel panel;
        panel.setVideo(600, 100);
        panel.btnsEnableByVideoStatus(VideoIntf::Attached | VideoIntf::CanMove);
        VideoCtrlSlider *jog = panel.jogSlider();
        jog->setParent(nullptr);
        jog->resize(300, 20);
        QSignalSpy seeks(&panel, &VideoControlPanel::setVideoCurrentTime);
        QTest::mouseClick(jog, Qt::LeftButton, {}, QPoint(x, 10));
        QCOMPARE(seeks.size(), 1);
        QCOMPARE(seeks.first().first().toInt(), 600 * x / 300);
        delete jog;
    }

    void anUnplayableFileIsTold()
    {
        const QString notes = dir.filePath(QStringLiteral("notes.avi"));
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("These are my lesson notes, not a video.\n");
        file.close();
        QSignalSpy status(player, &VideoIntf::actionStatusChanged);
        QCOMPARE(player->attachVideo(notes), 0);
        QCOMPARE(told, {QStringLiteral("Can't Play Video!: This video file is invaild")});
        QCOMPARE(status.last().first().toUInt(), 0u);
        QCOMPARE(player->start(), -2001);
    }
};

VELORA_TEST_MAIN(TestVideoImpl)
#include "tst_videoimpl.moc"

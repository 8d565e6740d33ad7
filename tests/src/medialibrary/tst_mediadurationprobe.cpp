#include <MediaDurationProbe.h>
#include <VeloraTest.h>

#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QThread>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Bytes this process has read from files so far, by any thread.
qint64 bytesRead()
{
    QFile io(u"/proc/self/io"_s);
    const QByteArray text = io.open(QIODevice::ReadOnly) ? io.readAll() : QByteArray();
    const qsizetype at = text.indexOf("rchar: ") + 7;
    return text.mid(at, text.indexOf('\n', at) - at).toLongLong();
}

// What a queue said, and whether it said all of it on the GUI thread.
struct Answers : QObject
{
    QStringList paths;
    bool offGuiThread = false;
    explicit Answers(DurationProbeQueue *queue)
    {
        connect(
                queue, &DurationProbeQueue::durationProbed, this,
                [this](const QString &path, qint64 ms) {
                    paths << path + u'=' + QString::number(ms / 100);
                    offGuiThread |= QThread::currentThread() != thread();
                },
                Qt::DirectConnection);
    }
};

} // namespace

class TestMediaDurationProbe : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString at(const QString &name) const { return dir.filePath(name); }
    // `count` different names for one file, as a folder of recordings would list them.
    QStringList names(const QString &target, int count) const
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            QFile::link(at(target), paths.emplace_back(at(u"%1-%2.avi"_s.arg(target).arg(i))));
        return paths;
    }

    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(at(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const QString &command :
             {u"-i testsrc -i sine=r=8000 -t 2.5 -c:v mpeg4 -tag:v XVID -c:a pcm_s16le -ac 2 xvid.avi"_s,
              u"-i testsrc -i sine=r=8000 -t 1.5 -c:v wmv2 -c:a wmav2 clip.wmv"_s,
              u"-i testsrc -t 1 -c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1 raw.avi"_s}) {
            QProcess tool;
            tool.setWorkingDirectory(dir.path());
            tool.start(u"ffmpeg"_s,
                       QStringList{u"-v"_s, u"error"_s}
                               + QString(command).replace(u"-i"_s, u"-f lavfi -i"_s).split(u' '));
            QVERIFY(tool.waitForFinished(-1) && tool.exitCode() == 0);
        }
        QFile whole(at(u"xvid.avi"_s));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray recording = whole.readAll(), cut = recording.left(recording.size() / 2);
        const qsizetype movi = recording.indexOf("movi");
        write(u"cut.avi"_s, cut);
        // A recording still being written: no index yet, and no length in its stream headers.
        QByteArray unfinished = cut;
        for (qsizetype i = cut.indexOf("strh"); i >= 0 && i < movi; i = cut.indexOf("strh", i + 1))
            unfinished.replace(i + 40, 4, QByteArray(4, 0));
        write(u"unfinished.avi"_s, unfinished);
        // The header of a sound recording, then a gigabyte of zeros (sparse, so it costs nothing).
        write(u"damaged.avi"_s, recording.left(movi + 4));
        QVERIFY(QFile::resize(at(u"damaged.avi"_s), 1 << 30));
        write(u"text.avi"_s, "no video here");
        QCOMPARE(mkfifo(QFile::encodeName(at(u"fifo.avi"_s)).constData(), 0600), 0);
    }

    void probe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<qint64>("milliseconds");
        QTest::newRow("XVID with sound") << u"xvid.avi"_s << false << 2500LL;
        QTest::newRow("WMV") << u"clip.wmv"_s << false << 1500LL;
        QTest::newRow("DIB") << u"raw.avi"_s << false << 1000LL;
        QTest::newRow("half its bytes: what is there") << u"cut.avi"_s << false << 1250LL;
        QTest::newRow("unfinished") << u"unfinished.avi"_s << false << 0LL;
        QTest::newRow("damaged index") << u"damaged.avi"_s << false << 2500LL;
        QTest::newRow("stopped") << u"xvid.avi"_s << true << 0LL;
        QTest::newRow("text") << u"text.avi"_s << false << 0LL;
        QTest::newRow("FIFO, which would block") << u"fifo.avi"_s << false << 0LL;
        QTest::newRow("missing") << u"missing.avi"_s << false << 0LL;
    }

    void probe()
    {
        QFETCH(QString, name);
        QFETCH(bool, stopped);
        QFETCH(qint64, milliseconds);
        const std::atomic<bool> stop{stopped};
        const qint64 before = bytesRead();
        const qint64 probed = probeMediaDuration(at(name), &stop);
        QVERIFY2(qAbs(probed - milliseconds) <= 100, qPrintable(QString::number(probed)));
        QCOMPARE_LT(bytesRead() - before, 32 << 20);
    }

    void queueAnswersEachRequestOnceOnTheGuiThread()
    {
        DurationProbeQueue queue;
        Answers answers(&queue);
        const QStringList paths = names(u"xvid.avi"_s, 30);
        for (const QString &path : paths)
            queue.request(path);
        // Asked for again while they wait; a second probe of each would come before the rest.
        for (const QString &path : paths.mid(20))
            queue.request(path);
        QTRY_VERIFY_WITH_TIMEOUT(answers.paths.size() >= 30, 60000);
        QCOMPARE(QSet<QString>(answers.paths.begin(), answers.paths.end()).size(), 30);
        QCOMPARE(answers.paths.filter(u".avi=25"_s).size(), 30);
        QVERIFY(!answers.offGuiThread);
    }

    void clearDropsWaitingRequests()
    {
        DurationProbeQueue queue;
        Answers answers(&queue);
        QSignalSpy spy(&queue, &DurationProbeQueue::durationProbed);
        for (const QString &path : names(u"damaged.avi"_s, 20))
            queue.request(path);
        QVERIFY(spy.wait(60000));
        queue.clear();
        answers.paths.clear();
        queue.request(at(u"raw.avi"_s));
        QVERIFY(spy.wait(60000));
        // Neither the waiting requests nor the one being probed when the folder changed answer.
        QCOMPARE(answers.paths, QStringList{at(u"raw.avi"_s) + u"=10"_s});
    }

    void newestFirstAndStoppedWhileProbing()
    {
        auto *queue = new DurationProbeQueue;
        Answers answers(queue);
        QSignalSpy spy(queue, &DurationProbeQueue::durationProbed);
        for (const QString &path : names(u"damaged.avi"_s, 100))
            queue->request(path);
        QVERIFY(spy.wait(60000));
        const QString newest = at(u"xvid.avi"_s) + u"=25"_s;
        queue->request(at(u"xvid.avi"_s));
        while (!answers.paths.contains(newest))
            QVERIFY(spy.wait(60000));
        // Only the probe under way when it was asked for came between.
        QCOMPARE_LE(answers.paths.size(), 3);
        const qsizetype answered = answers.paths.size();
        const qint64 before = bytesRead();
        delete queue;
        // The probe of a damaged file under way stops at its next read instead of reading 16 MB.
        QCOMPARE_LT(bytesRead() - before, 4 << 20);
        QCoreApplication::processEvents();
        QCOMPARE(answers.paths.size(), answered);
    }
};

VELORA_TEST_MAIN(TestMediaDurationProbe)
#include "tst_mediadurationprobe.moc"

#include <MediaDurationProbe.h>
#include <VeloraTest.h>

#include <QProcess>
#include <QSignalSpy>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// Bytes this process has read from files so far, by any thread.
qint64 bytesRead()
{
    QFile io(u"/proc/self/io"_s);
    return io.open(QIODevice::ReadOnly) ? io.readLine().mid(7).trimmed().toLongLong() : -1;
}

// Records what `queue` says as "path=tenths of a second", marking what it says off the GUI thread.
void listen(DurationProbeQueue *queue, QStringList *said)
{
    const auto record = [said](const QString &path, qint64 ms) {
        said->append((QThread::currentThread() == qApp->thread() ? path : u"elsewhere"_s) + u'='
                     + QString::number(ms / 100));
    };
    QObject::connect(queue, &DurationProbeQueue::durationProbed, queue, record,
                     Qt::DirectConnection);
}

} // namespace

class TestMediaDurationProbe : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString at(const QString &name) const { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        const char *script = R"(cd "$0"; mkfifo fifo.avi; echo no video here >text.avi
            video="ffmpeg -v error -f lavfi -i testsrc" sound="-f lavfi -i sine=r=8000"
            $video $sound -t 2.5 -c:v mpeg4 -tag:v XVID -c:a pcm_s16le -ac 2 xvid.avi
            $video $sound -t 1.5 -c:v wmv2 -c:a wmav2 clip.wmv
            $video -t 1 -c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1 raw.avi
            head -c $(($(stat -c %s xvid.avi) / 2)) xvid.avi >cut.avi
            # A recording still being written: no index yet, no length in its stream headers.
            cp cut.avi unfinished.avi
            for at in $(grep -obUa strh cut.avi | cut -d: -f1); do
                printf '\0\0\0\0' | dd of=unfinished.avi bs=1 seek=$((at + 40)) conv=notrunc
            done 2>/dev/null
            # The header of a sound recording, then a gigabyte of zeros (sparse, costing nothing).
            movi=$(grep -obUa movi xvid.avi | head -1 | cut -d: -f1)
            head -c $((movi + 4)) xvid.avi >damaged.avi && truncate -s 1G damaged.avi
            # Many names for one file, as a folder of recordings would list them.
            for i in $(seq 0 99); do ln -s xvid.avi xvid-$i.avi; ln -s damaged.avi damaged-$i.avi
            done)";
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-ec"_s, QString::fromUtf8(script), dir.path()}), 0);
    }

    void probe_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("milliseconds");
        QTest::newRow("XVID with sound") << u"xvid.avi"_s << 2500LL;
        QTest::newRow("WMV") << u"clip.wmv"_s << 1500LL;
        QTest::newRow("DIB") << u"raw.avi"_s << 1000LL;
        QTest::newRow("half its bytes: what is there") << u"cut.avi"_s << 1250LL;
        QTest::newRow("unfinished") << u"unfinished.avi"_s << 0LL;
        QTest::newRow("damaged index") << u"damaged.avi"_s << 2500LL;
        QTest::newRow("text") << u"text.avi"_s << 0LL;
        QTest::newRow("FIFO, which would block") << u"fifo.avi"_s << 0LL;
        QTest::newRow("missing") << u"missing.avi"_s << 0LL;
    }

    void probe()
    {
        QFETCH(QString, name);
        QFETCH(qint64, milliseconds);
        const qint64 before = bytesRead();
        const qint64 probed = probeMediaDuration(at(name));
        QVERIFY2(qAbs(probed - milliseconds) <= 100, qPrintable(QString::number(probed)));
        QCOMPARE_LT(bytesRead() - before, 32 << 20); // of a gigabyte for the damaged one
    }

    void queueAnswersEachRequestOnceOnTheGuiThread()
    {
        DurationProbeQueue queue;
        QStringList said;
        listen(&queue, &said);
        for (int i = 0; i < 40; ++i) // the ten newest asked for again while they wait
            queue.request(at(u"xvid-%1.avi"_s.arg(i < 30 ? i : i - 10)));
        QTRY_VERIFY_WITH_TIMEOUT(said.size() >= 30, 60000);
        QCOMPARE(said.removeDuplicates(), 0);
        QCOMPARE(said.filter(at(u"xvid-"_s)).filter(u".avi=25"_s).size(), 30);
    }

    void queueTakesNewestFirstDropsOnClearAndStopsWhenDestroyed()
    {
        auto *queue = new DurationProbeQueue;
        QStringList said;
        listen(queue, &said);
        QSignalSpy spy(queue, &DurationProbeQueue::durationProbed);
        const auto askForDamaged = [&] {
            for (int i = 0; i < 100; ++i)
                queue->request(at(u"damaged-%1.avi"_s.arg(i)));
            QVERIFY(spy.wait(60000));
        };
        askForDamaged();
        queue->request(at(u"xvid.avi"_s));
        while (!said.contains(at(u"xvid.avi=25"_s)))
            QVERIFY(spy.wait(60000));
        QCOMPARE_LE(said.size(), 3); // only the probe under way came between
        said.clear();
        queue->clear();
        queue->request(at(u"raw.avi"_s));
        QVERIFY(spy.wait(60000));
        // Neither the waiting requests nor the one being probed when the folder changed answer.
        QCOMPARE(said, QStringList{at(u"raw.avi=10"_s)});

        askForDamaged();
        const qsizetype answered = said.size();
        const qint64 before = bytesRead();
        delete queue;
        // The probe under way stops at its next read instead of reading its 16 MB.
        QCOMPARE_LT(bytesRead() - before, 4 << 20);
        QCoreApplication::processEvents();
        QCOMPARE(said.size(), answered);
    }
};

VELORA_TEST_MAIN(TestMediaDurationProbe)
#include "tst_mediadurationprobe.moc"

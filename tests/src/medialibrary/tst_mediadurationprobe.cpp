#include <MediaDurationProbe.h>
#include <VeloraTest.h>

#include <QProcess>
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

private Q_SLOTS:
    void initTestCase()
    {
        const QStringList picture{u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=320x240"_s};
        const QStringList sound{u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=sample_rate=8000"_s};
        const QStringList xvid{u"-c:v"_s, u"mpeg4"_s, u"-vtag"_s, u"XVID"_s, u"-g"_s, u"10"_s};
        const QStringList pcm{u"-c:a"_s, u"pcm_s16le"_s, u"-ac"_s, u"2"_s};
        const QStringList wmv{u"-c:v"_s, u"wmv2"_s, u"-c:a"_s, u"wmav2"_s};
        const QStringList dib{u"-c:v"_s,  u"rawvideo"_s, u"-pix_fmt"_s,
                              u"bgr24"_s, u"-vtag"_s,    u"DIB "_s};
        for (const QStringList &arguments :
             {picture + sound + xvid + pcm + QStringList{u"-t"_s, u"2.5"_s, u"xvid.avi"_s},
              picture + sound + wmv + QStringList{u"-t"_s, u"1.5"_s, u"clip.wmv"_s},
              picture + dib + QStringList{u"-t"_s, u"1"_s, u"raw.avi"_s}}) {
            QProcess tool;
            tool.setWorkingDirectory(dir.path());
            tool.start(u"ffmpeg"_s, QStringList{u"-v"_s, u"error"_s} + arguments);
            QVERIFY(tool.waitForFinished(-1) && tool.exitCode() == 0);
        }
        QFile whole(at(u"xvid.avi"_s)), cut(at(u"cut.avi"_s)), damaged(at(u"damaged.avi"_s));
        QVERIFY(whole.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly)
                && damaged.open(QIODevice::WriteOnly));
        const QByteArray recording = whole.readAll();
        cut.write(recording.left(recording.size() / 2));
        // The header of a sound recording, then a gigabyte of zeros (sparse, so it costs nothing).
        damaged.write(recording.left(recording.indexOf("movi") + 4));
        QVERIFY(damaged.resize(1 << 30));
        QFile text(at(u"text.avi"_s));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("no video here") > 0);
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
};

VELORA_TEST_MAIN(TestMediaDurationProbe)
#include "tst_mediadurationprobe.moc"

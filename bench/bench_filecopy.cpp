// Copying a 2 GiB file from one file system to another through the library's copy dialog: the
// wall time until the copy is on the disk, against `cp` followed by `sync -f` on the same files
// in the same run, and the longest time the GUI thread went without turning its event loop
// meanwhile, against the longest stall of an idle event loop as long. The source lives in /dev/shm
// (memory), the target on the disk of the build.

#include "BenchReport.h"

#include <MediaFileTransfer.h>
#include <MessageBox.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr qint64 FileSize = 2LL << 30;
constexpr int Rounds = 5;

bool writeSource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Not zeros: no file system may store the copy as holes.
    QByteArray block(8 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < block.size(); ++i)
        block[i] = char(i * 131 + (i >> 13));
    for (qint64 written = 0; written < FileSize; written += block.size()) {
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

double cpAndSyncMs(const QString &source, const QString &target)
{
    QElapsedTimer clock;
    clock.start();
    if (QProcess::execute(QStringLiteral("cp"), {source, target}) != 0
        || QProcess::execute(QStringLiteral("sync"), {QStringLiteral("-f"), target}) != 0)
        return -1;
    return clock.nsecsElapsed() / 1e6;
}

// The longest stall of an event loop with nothing to do for `milliseconds`: what the machine's
// other load alone costs the GUI thread.
double idleStallMs(double milliseconds)
{
    Bench::StallMonitor stalls;
    QEventLoop loop;
    QTimer::singleShot(int(milliseconds), &loop, &QEventLoop::quit);
    stalls.start();
    loop.exec();
    return stalls.longestMs();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velora"));
    // "Completed" is answered at once, as a user would close it.
    MessageBox::setAnswerer([](const MessageBox::Question &) { return QMessageBox::Ok; });

    QTemporaryDir memory(QStringLiteral("/dev/shm/velora-bench-XXXXXX"));
    QTemporaryDir disk(QDir::currentPath() + QStringLiteral("/velora-bench-XXXXXX"));
    const QString source = memory.filePath(QStringLiteral("lesson.avi"));
    if (!memory.isValid() || !disk.isValid() || !writeSource(source)) {
        std::fprintf(stderr, "cannot write the 2 GiB source\n");
        return 1;
    }
    const QString target = disk.filePath(QStringLiteral("lesson.avi"));

    std::vector<double> velorasMs;
    std::vector<double> referencesMs;
    double longestStall = 0;
    double longestIdleStall = 0;
    for (int round = 0; round < Rounds; ++round) {
        // Either side goes first in turn, so that the disk's writing back of the one before
        // weighs on both alike.
        double cp = round % 2 ? -1 : cpAndSyncMs(source, target);
        QFile::remove(target);
        Bench::StallMonitor stalls;
        QElapsedTimer clock;
        stalls.start();
        clock.start();
        const bool copied = MediaFileTransfer::copyFile(source, disk.path());
        const double velora = clock.nsecsElapsed() / 1e6;
        const double stall = stalls.longestMs();
        QFile::remove(target);
        if (round % 2) {
            cp = cpAndSyncMs(source, target);
            QFile::remove(target);
        }
        if (!copied || cp < 0) {
            std::fprintf(stderr, "a copy failed\n");
            return 1;
        }
        const double idle = idleStallMs(velora);
        std::printf("round %d: Velora %.0f ms, cp + sync -f %.0f ms, longest stall %.1f ms "
                    "(idle %.1f ms)\n",
                    round + 1, velora, cp, stall, idle);
        velorasMs.push_back(velora);
        referencesMs.push_back(cp);
        longestStall = qMax(longestStall, stall);
        longestIdleStall = qMax(longestIdleStall, idle);
    }
    // Medians: the shared disk makes single rounds of either side several times slower.
    Bench::report("filecopy 2 GiB across file systems, flushed", Bench::median(velorasMs),
                  Bench::median(referencesMs), "ms", Bench::Better::Lower,
                  "cp + sync -f (median of 5)");
    Bench::report("filecopy longest GUI stall during the copy", longestStall, longestIdleStall,
                  "ms", Bench::Better::Lower, "idle event loop as long (goal 50 ms)");
    return 0;
}

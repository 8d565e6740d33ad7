// Copying a 2 GiB file from one file system to another through the library's copy dialog: the
// wall time until the copy is on the disk, against `cp` followed by `sync -f` on the same files
// in the same run, and the longest time the GUI thread went without turning its event loop
// meanwhile. The source lives in /dev/shm (memory), the target on the disk of the build.

#include "BenchReport.h"

#include <MediaFileTransfer.h>
#include <MessageBox.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 FileSize = 2LL << 30;
constexpr int Rounds = 3;
constexpr double StallGoalMs = 50;

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

    double best = 0;
    double reference = 0;
    double longestStall = 0;
    for (int round = 0; round < Rounds; ++round) {
        const double cp = cpAndSyncMs(source, target);
        QFile::remove(target);
        Bench::StallMonitor stalls;
        QElapsedTimer clock;
        stalls.start();
        clock.start();
        const bool copied = MediaFileTransfer::copyFile(source, disk.path());
        const double velora = clock.nsecsElapsed() / 1e6;
        const double stall = stalls.longestMs();
        QFile::remove(target);
        if (!copied || cp < 0) {
            std::fprintf(stderr, "a copy failed\n");
            return 1;
        }
        std::printf("round %d: Velora %.0f ms, cp + sync -f %.0f ms, longest stall %.1f ms\n",
                    round + 1, velora, cp, stall);
        best = round == 0 ? velora : qMin(best, velora);
        reference = round == 0 ? cp : qMin(reference, cp);
        longestStall = qMax(longestStall, stall);
    }
    Bench::report("filecopy 2 GiB across file systems, flushed", best, reference, "ms",
                  Bench::Better::Lower, "cp + sync -f (best of 3)");
    Bench::report("filecopy longest GUI stall during the copy", longestStall, StallGoalMs, "ms",
                  Bench::Better::Lower, "goal");
    return 0;
}

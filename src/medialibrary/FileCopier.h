#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

/// Copies the bytes of one file into another on a thread of its own, so that the GUI stays
/// responsive while gigabytes move between volumes.
///
/// The target is flushed to the disk before success is reported: a move may delete its source
/// only once the copy would survive a power loss. A cancelled or failed copy removes what it
/// wrote and leaves a file it was to replace as it was.
class FileCopier : public QObject
{
    Q_OBJECT

public:
    enum Result { Copied, SourceUnreadable, TargetUnwritable, WriteFailed, Cancelled };
    Q_ENUM(Result)

    explicit FileCopier(QObject *parent = nullptr);
    /// Cancels a running copy and waits for its thread.
    ~FileCopier() override;

    /// Starts copying `source` to `target`, which is created or replaced. False when a copy is
    /// still running.
    bool start(const QString &source, const QString &target);
    /// Asks the running copy to stop; it stops after the block it is writing.
    void cancel() { cancelled = true; }
    /// Waits until the thread has ended.
    void wait();

    /// Bytes written so far, readable from any thread.
    qint64 copiedBytes() const { return copied; }
    qint64 totalBytes() const { return total; }
    /// How the last copy ended and the errno value behind a failure; valid after wait().
    Result result() const { return outcome; }
    int error() const { return errorNumber; }

Q_SIGNALS:
    /// Emitted from the copying thread once; `error` is the errno value behind a failure.
    void finished(FileCopier::Result result, int error);

private:
    void run(const QString &source, const QString &target);
    void finish(Result result, int error);
    Result copy(int from, int to, int &error);

    std::thread thread;
    std::atomic<bool> cancelled = false;
    std::atomic<qint64> copied = 0;
    std::atomic<qint64> total = 0;
    // Written by the thread before it ends; read after joining it.
    Result outcome = Cancelled;
    int errorNumber = 0;
};

#pragma once

#include <QProgressDialog>
#include <QString>

class FileCopier;

/// Copies one file while showing its progress in 100 steps, and tells the user how it ended.
///
/// The bytes move on a worker thread in large blocks; the dialog only looks at how far the
/// worker has come every 10 ms, so a slow disk never freezes the window. Cancel stops the
/// worker and removes the target, so that nothing of a cancelled copy stays behind.
class MoveFileDialog : public QProgressDialog
{
    Q_OBJECT

public:
    enum Mode { Copy = 0, Move = 1 };

    /// The longest destination path, in characters, that a copy accepts.
    static constexpr int MaxPathLength = 239;

    MoveFileDialog(const QString &source, const QString &target, Mode mode,
                   QWidget *parent = nullptr);
    ~MoveFileDialog() override;

    /// Copies the file; true when the target is complete and flushed to the disk. Every failure
    /// is told to the user; a cancelled copy is not.
    bool run();

public Q_SLOTS:
    /// Shows the step the worker has reached and looks again 10 ms later.
    void moveNext();

private:
    bool failed(const QString &title, const QString &text, const QString &reason = {});

    QString source;
    QString target;
    Mode mode;
    FileCopier *copier;
    bool userCancelled = false;
};

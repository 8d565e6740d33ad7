#include "MoveFileDialog.h"

#include "FileCopier.h"

#include <MessageBox.h>

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstring>

MoveFileDialog::MoveFileDialog(const QString &source, const QString &target, Mode mode,
                               QWidget *parent)
    : QProgressDialog(parent)
    , source(source)
    , target(target)
    , mode(mode)
    , copier(new FileCopier(this))
{
    setWindowTitle((mode == Move ? QStringLiteral("Move ") : QStringLiteral("Copy "))
                   + QStringLiteral("file..."));
    const QFileInfo to(target);
    setLabelText(QStringLiteral("From ") + source + QLatin1Char('\n')
                 + QStringLiteral("To %1/%2").arg(to.absolutePath(), to.fileName()));
    setRange(0, 100);
    setValue(0);
    setModal(true);
    // The dialog closes when the worker says so, not when the bar is full.
    setAutoClose(false);
    setAutoReset(false);
    connect(this, &QProgressDialog::canceled, this, [this] {
        userCancelled = true;
        copier->cancel();
    });
    connect(copier, &FileCopier::finished, this, [this] { done(Accepted); });
}

MoveFileDialog::~MoveFileDialog() = default;

bool MoveFileDialog::failed(const QString &title, const QString &text, const QString &reason)
{
    MessageBox::Question question;
    question.icon = QMessageBox::Warning;
    question.title = title;
    question.text = text;
    question.informativeText = reason;
    question.parent = parentWidget();
    MessageBox::ask(question);
    return false;
}

bool MoveFileDialog::run()
{
    if (QFileInfo(target).absoluteFilePath().size() > MaxPathLength)
        return failed(QStringLiteral("Error"), QStringLiteral("Path is invalid"));
    QFile probe(source);
    if (!probe.open(QIODevice::ReadOnly))
        return failed(QStringLiteral("File error"), QStringLiteral("Open file failed"));
    probe.close();

    copier->start(source, target);
    QTimer::singleShot(10, this, &MoveFileDialog::moveNext);
    if (exec() != Accepted) {
        // Closed without the worker's word (Escape): nothing is to be left behind.
        userCancelled = true;
        copier->cancel();
    }
    copier->wait();
    if (userCancelled) {
        // The copy may have ended meanwhile; the user asked for nothing to be done.
        QFile::remove(target);
        return false;
    }
    switch (copier->result()) {
    case FileCopier::Copied:
        setValue(100);
        MessageBox::information(parentWidget(), QStringLiteral("Information"),
                                QStringLiteral("Completed"));
        return true;
    case FileCopier::SourceUnreadable:
        return failed(QStringLiteral("File error"), QStringLiteral("Open file failed"),
                      QString::fromLocal8Bit(std::strerror(copier->error())));
    default:
        return failed(QStringLiteral("File error"),
                      mode == Move ? QStringLiteral("Move Copy file failed")
                                   : QStringLiteral("Copy file failed"),
                      QString::fromLocal8Bit(std::strerror(copier->error())));
    }
}

void MoveFileDialog::moveNext()
{
    if (!isVisible() || userCancelled)
        return;
    // One step per hundredth of the file, rounded up, as far as the worker has written.
    const qint64 total = copier->totalBytes();
    const qint64 chunk = std::max<qint64>(1, (total + 99) / 100);
    setValue(int(std::min<qint64>(99, copier->copiedBytes() / chunk)));
    QTimer::singleShot(10, this, &MoveFileDialog::moveNext);
}

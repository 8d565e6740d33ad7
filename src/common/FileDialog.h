#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>

/// The one way the application asks the user to choose a folder.
///
/// Like the message-box seam, it lets tests answer in place of a person (setAnswerer), and with
/// the environment variable VELORA_TEST_ANSWER_DIALOGS set no dialog appears: the request is
/// printed on standard error as "Velora folder dialog: <caption>: <start folder>" and nothing is
/// chosen.
class FileDialog
{
public:
    struct Request
    {
        QWidget *parent = nullptr;
        QString caption;
        QString startFolder;
        QFileDialog::Options options = QFileDialog::ShowDirsOnly;
    };
    /// The folder chosen, or an empty string when the user chose none.
    using Answerer = std::function<QString(const Request &)>;

    static QString getExistingDirectory(const Request &request);
    /// Answers every later request with `answerer` instead of a dialog; an empty function brings
    /// the dialogs back. For tests.
    static void setAnswerer(Answerer answerer);
};

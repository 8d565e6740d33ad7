#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

/// The one way the application asks the user a modal question or shows a modal warning.
///
/// Every message box goes through here so that tests can answer it and read what was asked
/// (setAnswerer), and so that a test can drive a whole Velora process without a person: with
/// the environment variable VELORA_TEST_ANSWER_DIALOGS set, no dialog appears; the question is
/// printed on standard error as "Velora message box: <title>: <text>" and answered with its
/// default button.
///
/// While one of the application's stay-on-top windows is shown (a presenter mask, the
/// widget-mode bar), a box stays on top too, so that it never opens out of reach beneath it.
class MessageBox
{
public:
    struct Question
    {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QString informativeText;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QWidget *parent = nullptr;
        /// The text is rich text whose links open in the desktop's own applications.
        bool richText = false;
        /// Added to the box's window flags (for example to keep it above a floating bar).
        Qt::WindowFlags windowFlags = {};
    };
    using Answerer = std::function<QMessageBox::StandardButton(const Question &)>;

    /// Shows `question` modally and returns the button the user chose.
    static QMessageBox::StandardButton ask(const Question &question);

    static QMessageBox::StandardButton
    information(QWidget *parent, const QString &title, const QString &text,
                QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton
    warning(QWidget *parent, const QString &title, const QString &text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton
    critical(QWidget *parent, const QString &title, const QString &text,
             QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    static QMessageBox::StandardButton
    question(QWidget *parent, const QString &title, const QString &text,
             QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

    /// Answers every later question with `answerer` instead of a dialog; an empty function
    /// brings the dialogs back. For tests.
    static void setAnswerer(Answerer answerer);

    /// The button a question is answered with when nobody is asked: its default button, or else
    /// the first of its buttons.
    static QMessageBox::StandardButton defaultAnswer(const Question &question);
};

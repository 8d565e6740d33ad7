#include "MessageBox.h"

#include "TestAnswerer.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>

namespace {
TestAnswerer<MessageBox::Answerer> testAnswerer;

QMessageBox::StandardButton askWith(QMessageBox::Icon icon, QWidget *parent, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton
                                    = QMessageBox::NoButton)
{
    MessageBox::Question question;
    question.icon = icon;
    question.parent = parent;
    question.title = title;
    question.text = text;
    question.buttons = buttons;
    question.defaultButton = defaultButton;
    return MessageBox::ask(question);
}

/// Whether one of our windows that stay on top (a presenter mask over the picture, the
/// widget-mode bar) is on screen. A box beneath it could be neither read nor answered, and
/// being modal it would leave the whole application waiting.
bool stayOnTopWindowShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(), [](const QWidget *window) {
        return window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    });
}
} // namespace

QMessageBox::StandardButton MessageBox::defaultAnswer(const Question &question)
{
    if (question.defaultButton != QMessageBox::NoButton)
        return question.defaultButton;
    for (uint bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (question.buttons.testFlag(QMessageBox::StandardButton(bit)))
            return QMessageBox::StandardButton(bit);
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton MessageBox::ask(const Question &question)
{
    if (const Answerer answerer = testAnswerer.get())
        return answerer(question);

    if (qEnvironmentVariableIsSet("VELORA_TEST_ANSWER_DIALOGS")) {
        QString line
                = QStringLiteral("Velora message box: %1: %2").arg(question.title, question.text);
        if (!question.informativeText.isEmpty())
            line += QStringLiteral(" (%1)").arg(question.informativeText);
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
        return defaultAnswer(question);
    }

    QMessageBox box(question.icon, question.title, question.text, question.buttons,
                    question.parent);
    box.setInformativeText(question.informativeText);
    if (question.richText) {
        box.setTextFormat(Qt::RichText);
        box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    }
    Qt::WindowFlags flags = question.windowFlags;
    if (stayOnTopWindowShown())
        flags |= Qt::WindowStaysOnTopHint;
    if (flags)
        box.setWindowFlags(box.windowFlags() | flags);
    if (question.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(question.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}

QMessageBox::StandardButton MessageBox::information(QWidget *parent, const QString &title,
                                                    const QString &text,
                                                    QMessageBox::StandardButtons buttons)
{
    return askWith(QMessageBox::Information, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::warning(QWidget *parent, const QString &title,
                                                const QString &text,
                                                QMessageBox::StandardButtons buttons)
{
    return askWith(QMessageBox::Warning, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::critical(QWidget *parent, const QString &title,
                                                 const QString &text,
                                                 QMessageBox::StandardButtons buttons)
{
    return askWith(QMessageBox::Critical, parent, title, text, buttons);
}

QMessageBox::StandardButton MessageBox::question(QWidget *parent, const QString &title,
                                                 const QString &text,
                                                 QMessageBox::StandardButtons buttons,
                                                 QMessageBox::StandardButton defaultButton)
{
    return askWith(QMessageBox::Question, parent, title, text, buttons, defaultButton);
}

void MessageBox::setAnswerer(Answerer answerer)
{
    testAnswerer.set(std::move(answerer));
}

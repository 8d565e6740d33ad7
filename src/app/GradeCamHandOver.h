#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class KivoscopeIntf;
class QWidget;

/// Lends the document camera to the grading service's web page and takes it back.
///
/// The main window's GradeCam action and the tools panel's GradeCam button are two faces of one
/// hand-over: both show text() and checked(), and either one runs step(). While the camera is
/// lent the text is "Reconnect"; otherwise it is "GradeCam".
class GradeCamHandOver : public QObject
{
    Q_OBJECT

public:
    static inline const QString LendText = QStringLiteral("GradeCam");
    static inline const QString ReconnectText = QStringLiteral("Reconnect");

    explicit GradeCamHandOver(KivoscopeIntf *kivoscope, QObject *parent = nullptr);

    /// The label of the action and of the button.
    QString text() const { return currentText; }
    /// Whether the action and the button should be shown checked.
    bool checked() const { return currentChecked; }

    /// Where the presenter logs in to the grading service once the camera is free.
    static QUrl loginPage();

public Q_SLOTS:
    /// One click: with "GradeCam", asks whether to lend the camera and, on "Yes", releases it
    /// and opens the login page; with "Reconnect", takes the camera back, asking "Retry" or
    /// "Cancel" as long as that fails. Questions are titled `title` and parented to `parent`.
    void step(QWidget *parent, const QString &title);
    /// The camera went away: nothing is lent any more.
    void cameraDisconnected();

Q_SIGNALS:
    /// The text or the checked state changed; the action and the button follow.
    void changed(const QString &text, bool checked);

private:
    void lend(QWidget *parent, const QString &title);
    void takeBack(QWidget *parent, const QString &title);
    void setState(const QString &text, bool checked);

    KivoscopeIntf *kivoscope;
    QString currentText = LendText;
    bool currentChecked = false;
};

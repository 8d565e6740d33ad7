#pragma once

#include <QObject>

class QWidget;

/// The visor: a grey curtain over the camera picture that the presenter slides away, one axis
/// at a time, to uncover part of it. One shared instance owns the curtain's window.
class VisorIntf : public QObject
{
    Q_OBJECT

public:
    /// Under the component's mutex: the shared instance (one more reference), made on first use
    /// with a window whose parent is `parent` (a top-level window all the same).
    static VisorIntf *getInstance(QWidget *parent);

    virtual void release() = 0;
    virtual QWidget *widget() = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void resize(int w, int h) = 0;

Q_SIGNALS:
    /// The presenter closed the visor with its close button; the window is hidden already.
    void visorClosed();
};

#pragma once

#include <QObject>

class QWidget;

/// The spotlight: greys out everything but one shape that the presenter moves and resizes over
/// the camera picture. One shared instance owns the spotlight's window.
class SpotlightIntf : public QObject
{
    Q_OBJECT

public:
    enum SHAPE { CIRCLE = 0, TRIANGLE = 1, RECTANGLE = 2 };
    Q_ENUM(SHAPE)

    /// Under the component's mutex: the shared instance (one more reference), made on first use
    /// with a window whose parent is `parent` (a top-level window all the same).
    static SpotlightIntf *getInstance(QWidget *parent);

    virtual void release() = 0;
    virtual QWidget *widget() = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void resize(int w, int h) = 0;

Q_SIGNALS:
    /// The presenter closed the spotlight with its close button; the window is hidden already.
    void spotlightClosed();
};

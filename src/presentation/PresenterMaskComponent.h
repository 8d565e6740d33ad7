#pragma once

#include <SharedComponent.h>

#include <QPointer>
#include <QWidget>

#include <mutex>

/// What the visor and spotlight components share: the shared instance and its count, and the one
/// window each owns. `Impl` derives from this with its interface `Intf` and window `Window`.
template<typename Intf, typename Window, typename Impl>
class PresenterMaskComponent : public Intf, public SharedComponent<Impl>
{
public:
    using SharedComponent<Impl>::getInstance;

    void release() override { this->releaseShared(); }

    QWidget *widget() override
    {
        std::lock_guard lock(SharedComponent<Impl>::componentMutex());
        return window;
    }

    void show() override
    {
        if (window)
            window->show();
    }

    void hide() override
    {
        if (window)
            window->hide();
    }

    void resize(int w, int h) override
    {
        if (window)
            window->resize(w, h);
    }

protected:
    explicit PresenterMaskComponent(QWidget *parent)
        : window(new Window(parent))
    { }

    // The parent may have taken the window with it already when the last reference goes.
    ~PresenterMaskComponent() override { delete window.data(); }

    QPointer<Window> window;
};

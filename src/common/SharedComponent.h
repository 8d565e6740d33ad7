#pragma once

#include <mutex>
#include <utility>

/// The life cycle every component shares: one process-wide instance, created by the first
/// getInstance() with a reference count of 1, given back with release() and destroyed when the
/// count reaches zero, after which the next getInstance() builds a fresh one.
///
/// Use it as a base of the implementation class:
///
///     class CaptureImpl : public CaptureIntf, public SharedComponent<CaptureImpl,
///     std::recursive_mutex>
///     {
///         friend SharedComponent;
///     public:
///         void release() override { releaseShared(); }
///     };
///
/// The mutex guards creation and the count; the component may lock componentMutex() for its own
/// operations too.
template<typename Impl, typename Mutex = std::mutex> class SharedComponent
{
public:
    /// `args` are given to the constructor when this call creates the instance.
    template<typename... Args> static Impl *getInstance(Args &&...args)
    {
        std::lock_guard lock(componentMutex());
        if (instance)
            ++instance->refCount;
        else
            instance = new Impl(std::forward<Args>(args)...);
        return instance;
    }

    /// Adds a reference to an instance the caller already holds.
    void addRef()
    {
        std::lock_guard lock(componentMutex());
        ++refCount;
    }

    /// The current instance without taking a reference; null when none exists.
    static Impl *peekInstance()
    {
        std::lock_guard lock(componentMutex());
        return instance;
    }

    static Mutex &componentMutex()
    {
        static Mutex mutex;
        return mutex;
    }

protected:
    SharedComponent() = default;
    ~SharedComponent() = default;
    SharedComponent(const SharedComponent &) = delete;
    SharedComponent &operator=(const SharedComponent &) = delete;

    /// Drops one reference and destroys the instance at zero. Returns the references left.
    int releaseShared()
    {
        Impl *doomed = nullptr;
        int left = 0;
        {
            std::lock_guard lock(componentMutex());
            left = --refCount;
            if (left == 0) {
                doomed = instance;
                instance = nullptr;
            }
        }
        // Destroyed outside the lock: a destructor gives back other components and may log.
        delete doomed;
        return left;
    }

    int referenceCount() const { return refCount; }

private:
    inline static Impl *instance = nullptr;
    int refCount = 1;
};

/// Holds one reference to a shared component for a scope and gives it back at the end, also
/// when the scope is left early.
template<typename Intf> class ComponentRef
{
public:
    ComponentRef()
        : component(Intf::getInstance())
    { }
    ~ComponentRef()
    {
        if (component)
            component->release();
    }
    ComponentRef(const ComponentRef &) = delete;
    ComponentRef &operator=(const ComponentRef &) = delete;

    Intf *operator->() const { return component; }
    Intf *get() const { return component; }

private:
    Intf *component;
};

#pragma once

#include <QString>

/// Receives cross-application notifications by name. Nothing on Linux delivers the document
/// camera's notifications, so registering for them is accepted and has no effect; the observer
/// still handles them should a delivery service appear.
class CppNotificaitonObserver
{
public:
    virtual ~CppNotificaitonObserver() = default;

    virtual void notificationReceived(const QString &name) = 0;

    /// Registers for `name`; a no-op on this platform.
    static void addObserver(const QString &name, CppNotificaitonObserver *observer);
    static void removeObserver(const QString &name, CppNotificaitonObserver *observer);
};

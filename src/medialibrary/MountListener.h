#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

/// Tells when volumes come and go, so that the drive list can be shown again.
///
/// A USB stick is mounted some time after udev announces it, so the mount table, not the device
/// events, says when the list changes. The kernel flags an open mount table file when the
/// table changes; where it does not (some kernels and containers), the table is compared every
/// half second.
class MountListener : public QObject
{
    Q_OBJECT
public:
    /// Watches `mountInfo`, /proc/self/mountinfo when empty.
    explicit MountListener(QObject *parent = nullptr, const QString &mountInfo = {});

Q_SIGNALS:
    /// The set of mounts changed; once per change, within a second.
    void usbDeviceChanged();

private:
    void kernelNoticed();
    void compareTable();
    QByteArray readTable() const;

    QString path;
    QFile watched;
    // Declared after the file so that it stops watching before the file closes.
    std::unique_ptr<QSocketNotifier> notifier;
    QTimer poll;
    QByteArray table;
};

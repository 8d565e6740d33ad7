#include "MountListener.h"

#include "DriveList.h"

#include <utility>

MountListener::MountListener(QObject *parent, const QString &mountInfo)
    : QObject(parent)
    , path(mountInfo.isEmpty() ? DriveScan::system().mountInfo : mountInfo)
    , watched(path)
    , poll(this)
{
    table = readTable();
    // The kernel raises an exceptional condition on the open file after each change of the
    // table and clears it on the next poll, so one change wakes the notifier once.
    if (watched.open(QIODevice::ReadOnly)) {
        notifier = std::make_unique<QSocketNotifier>(watched.handle(), QSocketNotifier::Exception);
        connect(notifier.get(), &QSocketNotifier::activated, this, &MountListener::kernelNoticed);
    }
    poll.setInterval(500);
    connect(&poll, &QTimer::timeout, this, &MountListener::compareTable);
    poll.start();
}

void MountListener::kernelNoticed()
{
    // The kernel's notices work here, so the table need not be read twice a second any more.
    poll.stop();
    compareTable();
}

void MountListener::compareTable()
{
    QByteArray now = readTable();
    if (now == table)
        return;
    table = std::move(now);
    Q_EMIT usbDeviceChanged();
}

QByteArray MountListener::readTable() const
{
    // A fresh read each time: the mount table is generated anew on every open.
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

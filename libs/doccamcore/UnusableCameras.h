#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include <mutex>

/// The cameras (video nodes) that are there but cannot be used, with what the camera view
/// says about each, so that the view can tell a refused camera from a missing one. Any thread;
/// changed() reaches a receiver on its own thread.
class UnusableCameras : public QObject
{
    Q_OBJECT

public:
    static UnusableCameras *instance();

    /// Notes `problem` for `devnode`; false when it was noted already.
    bool note(const QString &devnode, const QString &problem);
    void forget(const QString &devnode);
    /// One line per node; empty when every node found can be used.
    QString text() const;

Q_SIGNALS:
    void changed();

private:
    mutable std::mutex mutex;
    QMap<QString, QString> problems;
};

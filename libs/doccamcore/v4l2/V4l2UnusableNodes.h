#pragma once

#include <QMap>
#include <QObject>
#include <QString>

#include <mutex>

/// The video nodes of the process that are there but cannot be used, with what the camera view
/// says about each, so that the view can tell a refused camera from a missing one. Any thread;
/// changed() reaches a receiver on its own thread.
class V4l2UnusableNodes : public QObject
{
    Q_OBJECT

public:
    static V4l2UnusableNodes *instance();

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

#include "V4l2UnusableNodes.h"

#include <QStringList>

Q_GLOBAL_STATIC(V4l2UnusableNodes, unusableNodes)

V4l2UnusableNodes *V4l2UnusableNodes::instance()
{
    return unusableNodes();
}

bool V4l2UnusableNodes::note(const QString &devnode, const QString &problem)
{
    {
        std::lock_guard lock(mutex);
        if (problems.value(devnode) == problem)
            return false;
        problems.insert(devnode, problem);
    }
    Q_EMIT changed();
    return true;
}

void V4l2UnusableNodes::forget(const QString &devnode)
{
    {
        std::lock_guard lock(mutex);
        if (!problems.remove(devnode))
            return;
    }
    Q_EMIT changed();
}

QString V4l2UnusableNodes::text() const
{
    std::lock_guard lock(mutex);
    return QStringList(problems.values()).join(QLatin1Char('\n'));
}

#include "UnusableCameras.h"

#include <QStringList>

Q_GLOBAL_STATIC(UnusableCameras, unusableNodes)

UnusableCameras *UnusableCameras::instance()
{
    return unusableNodes();
}

bool UnusableCameras::note(const QString &devnode, const QString &problem)
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

void UnusableCameras::forget(const QString &devnode)
{
    {
        std::lock_guard lock(mutex);
        if (!problems.remove(devnode))
            return;
    }
    Q_EMIT changed();
}

QString UnusableCameras::text() const
{
    std::lock_guard lock(mutex);
    return QStringList(problems.values()).join(QLatin1Char('\n'));
}

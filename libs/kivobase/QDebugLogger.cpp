#include "QDebugLogger.h"

#include <QDebug>

void QDebugLogger::write(const QString &line)
{
    qDebug().noquote() << line;
}

#include "CppNotificaitonObserver.h"

void CppNotificaitonObserver::addObserver(const QString &, CppNotificaitonObserver *) { }

void CppNotificaitonObserver::removeObserver(const QString &, CppNotificaitonObserver *) { }

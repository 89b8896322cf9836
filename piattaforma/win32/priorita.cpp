#include "piattaforma/priorita.h"

#include <QThread>

#include <windows.h>

namespace priorita {

// Priorities inside the process's class are the program's own to set.
bool alzabile() { return true; }

bool alzaQuesto()
{
    QThread::currentThread()->setPriority(QThread::TimeCriticalPriority);
    return GetThreadPriority(GetCurrentThread()) == THREAD_PRIORITY_TIME_CRITICAL;
}

void cediQuesto()
{
    if (alzabile()) return;
    QThread::currentThread()->setPriority(QThread::LowPriority);
}

} // namespace priorita

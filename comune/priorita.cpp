#include "comune/priorita.h"

#include <QThread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace priorita {

namespace {
#ifndef _WIN32
// On Linux each thread has its own nice value, set through its thread id.
constexpr int niceSeriale = -10, niceCeduto = 10;

int tid() { return int(::syscall(SYS_gettid)); }

bool imposta(int nice) { return ::setpriority(PRIO_PROCESS, id_t(tid()), nice) == 0; }
#endif
} // namespace

bool alzabile()
{
#ifdef _WIN32
    // Priorities inside the process's class are the program's own to set.
    return true;
#else
    // Tried on this thread for one step up, and put back at once.
    static const bool si = [] {
        errno = 0;
        const int ora = ::getpriority(PRIO_PROCESS, id_t(tid()));
        if (errno != 0 || !imposta(ora - 1)) return false;
        imposta(ora);
        return true;
    }();
    return si;
#endif
}

bool alzaQuesto()
{
    QThread::currentThread()->setPriority(QThread::TimeCriticalPriority);
#ifdef _WIN32
    return GetThreadPriority(GetCurrentThread()) == THREAD_PRIORITY_TIME_CRITICAL;
#else
    // Qt's priorities do nothing under the normal Linux scheduler: the nice value does.
    return imposta(niceSeriale);
#endif
}

void cediQuesto()
{
    if (alzabile()) return;
    QThread::currentThread()->setPriority(QThread::LowPriority);
#ifndef _WIN32
    imposta(niceCeduto);
#endif
}

} // namespace priorita

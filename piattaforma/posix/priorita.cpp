#include "piattaforma/priorita.h"

#include <QThread>

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace priorita {

namespace {
// On Linux each thread has its own nice value, set through its thread id.
constexpr int niceSeriale = -10, niceCeduto = 10;

int tid() { return int(::syscall(SYS_gettid)); }

bool imposta(int nice) { return ::setpriority(PRIO_PROCESS, id_t(tid()), nice) == 0; }
} // namespace

bool alzabile()
{
    // Tried on this thread for one step up, and put back at once.
    static const bool si = [] {
        errno = 0;
        const int ora = ::getpriority(PRIO_PROCESS, id_t(tid()));
        if (errno != 0 || !imposta(ora - 1)) return false;
        imposta(ora);
        return true;
    }();
    return si;
}

bool alzaQuesto()
{
    QThread::currentThread()->setPriority(QThread::TimeCriticalPriority);
    // Qt's priorities do nothing under the normal Linux scheduler: the nice value does.
    return imposta(niceSeriale);
}

void cediQuesto()
{
    if (alzabile()) return;
    QThread::currentThread()->setPriority(QThread::LowPriority);
    imposta(niceCeduto);
}

} // namespace priorita

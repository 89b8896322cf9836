#include "shell/segnaliuscita.h"

#include <QPointer>
#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <windows.h>

namespace {
QPointer<SegnaliUscita> istanza;
HANDLE compiuta = nullptr;

// Runs on a thread the system starts for it.
BOOL WINAPI gestore(DWORD evento)
{
    SegnaliUscita *s = istanza.data();
    if (!s) return FALSE;
    QMetaObject::invokeMethod(s, &SegnaliUscita::richiesta, Qt::QueuedConnection);
    // Ctrl+C and Ctrl+Break leave the process alone; the others end it when this returns.
    if (evento == CTRL_CLOSE_EVENT || evento == CTRL_LOGOFF_EVENT || evento == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(compiuta, 5000);
    return TRUE;
}
} // namespace

SegnaliUscita::SegnaliUscita(QObject *parent) : QObject(parent)
{
    istanza = this;
    if (!compiuta) compiuta = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(gestore, TRUE);
}

SegnaliUscita::~SegnaliUscita() { SetConsoleCtrlHandler(gestore, FALSE); }

void SegnaliUscita::uscitaCompiuta()
{
    if (compiuta) SetEvent(compiuta);
}

#else
#include <cerrno>
#include <csignal>
#include <iterator>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int coppia[2] = {-1, -1};
constexpr int segnali[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction precedenti[std::size(segnali)];

// Only what is safe in a signal handler: one byte to the window's thread.
void gestore(int numero)
{
    const int errnoPrima = errno;
    const char c = char(numero);
    [[maybe_unused]] const auto scritti = ::write(coppia[0], &c, 1);
    errno = errnoPrima;
}
} // namespace

SegnaliUscita::SegnaliUscita(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, coppia) != 0) return;
    ::fcntl(coppia[0], F_SETFL, O_NONBLOCK); // a flood of signals never blocks the handler
    notifica_ = new QSocketNotifier(coppia[1], QSocketNotifier::Read, this);
    connect(notifica_, &QSocketNotifier::activated, this, [this] {
        char c[16];
        if (::read(coppia[1], c, sizeof c) > 0) emit richiesta();
    });
    struct sigaction sa {};
    sa.sa_handler = gestore;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(segnali); ++i) ::sigaction(segnali[i], &sa, &precedenti[i]);
}

SegnaliUscita::~SegnaliUscita()
{
    if (!notifica_) return;
    for (size_t i = 0; i < std::size(segnali); ++i) ::sigaction(segnali[i], &precedenti[i], nullptr);
    delete notifica_;
    ::close(coppia[0]);
    ::close(coppia[1]);
    coppia[0] = coppia[1] = -1;
}

void SegnaliUscita::uscitaCompiuta() {}
#endif

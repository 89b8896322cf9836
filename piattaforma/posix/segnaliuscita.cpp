#include "piattaforma/segnaliuscita.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
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

struct SegnaliUscita::Dati {
    std::unique_ptr<QSocketNotifier> notifica;
};

SegnaliUscita::SegnaliUscita(QObject *parent) : QObject(parent), d_(std::make_unique<Dati>())
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, coppia) != 0) return;
    ::fcntl(coppia[0], F_SETFL, O_NONBLOCK); // a flood of signals never blocks the handler
    d_->notifica = std::make_unique<QSocketNotifier>(coppia[1], QSocketNotifier::Read);
    connect(d_->notifica.get(), &QSocketNotifier::activated, this, [this] {
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
    if (!d_->notifica) return;
    for (size_t i = 0; i < std::size(segnali); ++i) ::sigaction(segnali[i], &precedenti[i], nullptr);
    d_->notifica.reset();
    ::close(coppia[0]);
    ::close(coppia[1]);
    coppia[0] = coppia[1] = -1;
}

void SegnaliUscita::uscitaCompiuta() {}

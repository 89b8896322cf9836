#include "piattaforma/coppiapty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

CoppiaPty::CoppiaPty()
{
    char nome[256] = {};
    if (::openpty(&master_, &slave_, nome, nullptr, nullptr) != 0) {
        errore_ = QString::fromLocal8Bit(std::strerror(errno));
        master_ = slave_ = -1;
        return;
    }
    percorso_ = QString::fromLocal8Bit(nome);
    // Raw on both sides: no echo of the polls back to the device, no line editing.
    for (int fd : {master_, slave_}) {
        termios tio{};
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
}

CoppiaPty::~CoppiaPty()
{
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
}

QByteArray CoppiaPty::leggi(int attesaMs)
{
    QByteArray letti;
    if (master_ < 0) return letti;
    pollfd pfd{master_, POLLIN, 0};
    if (::poll(&pfd, 1, attesaMs) <= 0) return letti;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) break;
        letti.append(buffer, n);
    }
    return letti;
}

bool CoppiaPty::scrivi(const QByteArray &byte)
{
    if (master_ < 0) return false;
    qsizetype scritti = 0;
    while (scritti < byte.size()) {
        const ssize_t n = ::write(master_, byte.constData() + scritti, byte.size() - scritti);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        scritti += n;
    }
    return true;
}

bool CoppiaPty::esclusiva() const
{
    int attiva = 0;
    return slave_ >= 0 && ::ioctl(slave_, TIOCGEXCL, &attiva) == 0 && attiva != 0;
}

bool CoppiaPty::liberaEsclusiva() { return slave_ >= 0 && ::ioctl(slave_, TIOCNXCL) == 0; }

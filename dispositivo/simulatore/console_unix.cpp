#include "console.h"

#include <QSocketNotifier>

#include <csignal>
#include <unistd.h>

namespace {
int pipeSegnali[2] = {-1, -1};

void segnale(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(pipeSegnali[1], &c, 1);
}
} // namespace

struct Console::Dati {
    QSocketNotifier tastiera{STDIN_FILENO, QSocketNotifier::Read};
};

Console::Console(QObject *parent) : QObject(parent), d_(new Dati)
{
    if (::pipe(pipeSegnali) == 0) {
        std::signal(SIGINT, segnale);
        std::signal(SIGTERM, segnale);
        std::signal(SIGHUP, segnale);
        auto *n = new QSocketNotifier(pipeSegnali[0], QSocketNotifier::Read, this);
        connect(n, &QSocketNotifier::activated, this, &Console::fineRichiesta);
    }
    connect(&d_->tastiera, &QSocketNotifier::activated, this, [this] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) { // end of input: the programme and the device go on
            d_->tastiera.setEnabled(false);
            return;
        }
        for (const QString &r : QString::fromLocal8Bit(buffer, n).split(u'\n', Qt::SkipEmptyParts)) emit riga(r);
    });
}

Console::~Console() { delete d_; }

bool Console::interattiva() { return ::isatty(STDIN_FILENO); }

#include "banco.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "dispositivo/protocollo/protocollo.h"

#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_elf.h>
#include <simavr/sim_irq.h>
#include <simavr/sim_io.h>

namespace banco {

namespace {
constexpr uint32_t INIZIO_RAM_ELF = 0x800000; // where avr-gcc's linker puts the data space
constexpr uint16_t UCSR0A = 0xC0, UBRR0L = 0xC4, UBRR0H = 0xC5;

// The core never sleeps in this firmware; pacing, when wanted, is the bridge's business.
void senza_sonno(avr_t *, avr_cycle_count_t) {}
} // namespace

double monotonic_s()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double realtime_s()
{
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

Banco::Banco(const std::string &elf)
{
    elf_firmware_t f;
    std::memset(&f, 0, sizeof f);
    if (elf_read_firmware(elf.c_str(), &f) != 0) {
        errore_ = "impossibile leggere il firmware " + elf;
        return;
    }
    avr_t *avr = avr_make_mcu_by_name("atmega328p");
    if (!avr) {
        errore_ = "simavr non conosce l'ATmega328P";
        return;
    }
    avr_init(avr);
    f.frequency = FREQUENZA;
    avr_load_firmware(avr, &f);
    avr->frequency = FREQUENZA;
    avr->sleep = senza_sonno;
    for (uint32_t i = 0; i < f.symbolcount; ++i)
        simboli_[f.symbol[i]->symbol] = f.symbol[i]->addr;

    // A busy-polling firmware would otherwise make simavr sleep on every status read.
    uint32_t flag = 0;
    avr_ioctl(avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flag);
    flag &= ~(AVR_UART_FLAG_POLL_SLEEP | AVR_UART_FLAG_STDIO);
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flag);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                            uscita_uart, this);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON),
                            flusso_uart, this);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF),
                            flusso_uart, this);

    for (int k = 0; k < 8; ++k)
        pin_[k] = k < 6 ? avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('D'), k + 2)
                        : avr_io_getirq(avr, AVR_IOCTL_IOPORT_GETIRQ('B'), k - 6);
    avr_ = avr;
    imponi_linee(true);
}

Banco::~Banco()
{
    if (avr_)
        avr_terminate(avr_);
}

uint64_t Banco::ciclo() const
{
    return avr_->cycle;
}

void Banco::esegui_fino(uint64_t fine)
{
    while (avr_->cycle < fine) {
        alimenta_uart();
        int stato = avr_run(avr_);
        if (stato == cpu_Done || stato == cpu_Crashed)
            break;
    }
}

void Banco::imponi_linee(bool forza)
{
    // The levels are also the ports' "external" state: simavr re-applies the internal
    // pull-up whenever the firmware writes a port, and that must not lift a held line.
    avr_ioport_external_t d = {'D', 0xFC, static_cast<uint8_t>((livelli_ & 0x3F) << 2)};
    avr_ioport_external_t b = {'B', 0x03, static_cast<uint8_t>(livelli_ >> 6)};
    avr_ioctl(avr_, AVR_IOCTL_IOPORT_SET_EXTERNAL('D'), &d);
    avr_ioctl(avr_, AVR_IOCTL_IOPORT_SET_EXTERNAL('B'), &b);
    for (int k = 0; k < 8; ++k) {
        uint32_t livello = (livelli_ >> k) & 1;
        if (forza) // the pin registers were cleared: only a change reaches them
            avr_raise_irq(pin_[k], !livello);
        avr_raise_irq(pin_[k], livello);
    }
}

void Banco::linea(int corsia, bool attiva, uint64_t ciclo)
{
    fronti_.emplace(ciclo, std::make_pair(corsia, attiva));
    pianifica();
}

void Banco::pianifica()
{
    if (in_applicazione_)
        return; // the timer running now schedules the next one itself
    avr_cycle_timer_cancel(avr_, applica_fronti, this);
    if (fronti_.empty())
        return;
    uint64_t quando = fronti_.begin()->first;
    avr_cycle_timer_register(avr_, quando > avr_->cycle ? quando - avr_->cycle : 0,
                             applica_fronti, this);
}

uint64_t Banco::applica_fronti(avr_t *avr, uint64_t, void *param)
{
    auto *b = static_cast<Banco *>(param);
    b->in_applicazione_ = true;
    while (!b->fronti_.empty() && b->fronti_.begin()->first <= avr->cycle) {
        auto [corsia, attiva] = b->fronti_.begin()->second;
        b->fronti_.erase(b->fronti_.begin());
        if (attiva)
            b->livelli_ &= static_cast<uint8_t>(~(1u << corsia));
        else
            b->livelli_ |= static_cast<uint8_t>(1u << corsia);
        b->imponi_linee(false);
        if (b->su_fronte)
            b->su_fronte(corsia, attiva, avr->cycle);
    }
    b->in_applicazione_ = false;
    return b->fronti_.empty() ? 0 : b->fronti_.begin()->first;
}

uint64_t Banco::cicli_per_byte() const
{
    // Ten bits (start, eight data, stop) at the rate the firmware set.
    uint32_t ubrr = avr_->data[UBRR0L] | (avr_->data[UBRR0H] << 8);
    uint32_t divisore = (avr_->data[UCSR0A] & 0x02) ? 8 : 16;
    return 10ull * divisore * (ubrr + 1);
}

void Banco::uscita_uart(avr_irq_t *, uint32_t valore, void *param)
{
    auto *b = static_cast<Banco *>(param);
    b->ricevuti_.push_back({static_cast<uint8_t>(valore), b->avr_->cycle + b->cicli_per_byte()});
}

void Banco::flusso_uart(avr_irq_t *irq, uint32_t valore, void *param)
{
    auto *b = static_cast<Banco *>(param);
    if (irq->irq == UART_IRQ_OUT_XOFF && valore)
        b->uart_pieno_ = true;
    else if (irq->irq == UART_IRQ_OUT_XON && valore)
        b->uart_pieno_ = false;
}

void Banco::invia(const std::vector<uint8_t> &byte)
{
    da_inviare_.insert(da_inviare_.end(), byte.begin(), byte.end());
}

void Banco::alimenta_uart()
{
    if (inviati_ == da_inviare_.size())
        return;
    avr_irq_t *ingresso = avr_io_getirq(avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    while (!uart_pieno_ && inviati_ < da_inviare_.size())
        avr_raise_irq(ingresso, da_inviare_[inviati_++]);
    if (inviati_ == da_inviare_.size()) {
        da_inviare_.clear();
        inviati_ = 0;
    }
}

std::vector<uint8_t> Banco::scambia(const std::vector<uint8_t> &richiesta, uint64_t limite, uint64_t *inizio)
{
    uint8_t memoria[SPD_TRAMA_MAX];
    spd_decodificatore d;
    spd_decodificatore_avvia(&d, memoria, sizeof memoria);
    size_t letti = ricevuti_.size(); // what came before the request is not its answer
    invia(richiesta);
    for (const uint64_t fine = ciclo() + limite; ciclo() < fine;) {
        esegui_per(cicli_us(100));
        for (; letti < ricevuti_.size() && ricevuti_[letti].ciclo <= ciclo(); ++letti) {
            if (inizio && !spd_in_corso(&d))
                *inizio = ricevuti_[letti].ciclo;
            if (spd_ricevi(&d, ricevuti_[letti].valore))
                return std::vector<uint8_t>(d.buf, d.buf + d.pronta);
        }
    }
    return {};
}

void Banco::reset()
{
    avr_reset(avr_);
    uart_pieno_ = false;
    imponi_linee(true);
    pianifica(); // a reset empties simavr's timers
}

bool Banco::scrivi_variabile(const std::string &simbolo, const void *dati, size_t n)
{
    auto s = simboli_.find(simbolo);
    if (s == simboli_.end() || s->second < INIZIO_RAM_ELF)
        return false;
    std::memcpy(avr_->data + (s->second - INIZIO_RAM_ELF), dati, n);
    return true;
}

uint8_t Banco::porta(char nome) const
{
    avr_ioport_state_t stato;
    std::memset(&stato, 0, sizeof stato);
    avr_ioctl(avr_, AVR_IOCTL_IOPORT_GETSTATE(nome), &stato);
    return stato.port;
}

PontePty::PontePty(Banco &banco, const std::string &collegamento)
    : banco_(banco), collegamento_(collegamento)
{
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) {
        errore_ = std::string("impossibile creare il terminale: ") + std::strerror(errno);
        if (m >= 0)
            close(m);
        return;
    }
    terminale_ = ptsname(m);
    // Our own end of the terminal stays open, so the program may close and reopen it.
    slave_ = open(terminale_.c_str(), O_RDWR | O_NOCTTY);
    termios t;
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
        errore_ = "impossibile aprire " + terminale_ + ": " + std::strerror(errno);
        close(m);
        return;
    }
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);

    struct stat st;
    if (lstat(collegamento_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        errore_ = collegamento_ + " esiste e non è un collegamento: non lo sostituisco";
        close(m);
        return;
    }
    unlink(collegamento_.c_str());
    if (symlink(terminale_.c_str(), collegamento_.c_str()) != 0) {
        errore_ = "impossibile creare " + collegamento_ + ": " + std::strerror(errno);
        close(m);
        return;
    }
    master_ = m;
}

PontePty::~PontePty()
{
    if (master_ < 0)
        return;
    char dove[256];
    ssize_t n = readlink(collegamento_.c_str(), dove, sizeof dove - 1);
    if (n > 0 && terminale_ == std::string(dove, static_cast<size_t>(n)))
        unlink(collegamento_.c_str());
    close(slave_);
    close(master_);
}

void PontePty::esegui(const std::function<bool()> &basta, const std::function<void()> &ogni_passo)
{
    const uint64_t fetta = cicli_us(250);
    const double t0 = monotonic_s();
    const uint64_t c0 = banco_.ciclo();
    uint8_t buf[256];
    std::vector<uint8_t> fuori;
    double ultimo_ingresso = t0;
    bool liberata = false;
    while (!basta()) {
        banco_.esegui_per(fetta);

        ssize_t n;
        while ((n = read(master_, buf, sizeof buf)) > 0) {
            std::vector<uint8_t> arrivati(buf, buf + n);
            if (solo_classico)
                arrivati.erase(std::remove(arrivati.begin(), arrivati.end(), uint8_t(SPD_INIZIO)), arrivati.end());
            banco_.invia(arrivati);
            ultimo_ingresso = monotonic_s();
            liberata = false;
        }
        // A serial library opens the terminal exclusively; if its program is killed that
        // would keep every restart out. Once the polls have stopped, clear it.
        if (!liberata && monotonic_s() - ultimo_ingresso > 1.5) {
            ioctl(slave_, TIOCNXCL);
            liberata = true;
        }

        // A byte reaches the program once its stop bit has left the chip.
        auto &uscita = banco_.ricevuti();
        size_t k = 0;
        fuori.clear();
        while (k < uscita.size() && uscita[k].ciclo <= banco_.ciclo())
            fuori.push_back(uscita[k++].valore);
        uscita.erase(uscita.begin(), uscita.begin() + static_cast<long>(k));
        if (!fuori.empty() && write(master_, fuori.data(), fuori.size()) < 0 && errno != EAGAIN)
            break;

        if (ogni_passo)
            ogni_passo();

        double obiettivo = t0 + static_cast<double>(banco_.ciclo() - c0) / FREQUENZA;
        double ora = monotonic_s();
        if (obiettivo > ora) {
            timespec ts;
            ts.tv_sec = static_cast<time_t>(obiettivo);
            ts.tv_nsec = static_cast<long>((obiettivo - static_cast<double>(ts.tv_sec)) * 1e9);
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
        } else if ((ora - obiettivo) * 1000 > ritardo_max_ms_) {
            ritardo_max_ms_ = (ora - obiettivo) * 1000;
        }
    }
}

} // namespace banco

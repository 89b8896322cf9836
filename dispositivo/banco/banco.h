#pragma once
// The test bench: the timing device's own .elf, the one that is flashed, running on a
// simulated ATmega328P (simavr). Lines are driven at exact cycles, the chip's serial line is
// reached byte by byte in simulated time; PontePty joins it to a pseudo-terminal paced to
// real time so that the real program can talk to it.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct avr_t;
struct avr_irq_t;

namespace banco {

constexpr uint64_t FREQUENZA = 16000000;

constexpr uint64_t cicli_us(double us) { return static_cast<uint64_t>(us * (FREQUENZA / 1e6) + 0.5); }
constexpr uint64_t cicli_ms(double ms) { return cicli_us(ms * 1000.0); }

struct Byte {
    uint8_t valore;
    uint64_t ciclo;   // when its stop bit ended on the line
};

class Banco {
public:
    explicit Banco(const std::string &elf);
    ~Banco();
    Banco(const Banco &) = delete;
    Banco &operator=(const Banco &) = delete;

    bool valido() const { return avr_ != nullptr; }
    const std::string &errore() const { return errore_; }

    uint64_t ciclo() const;
    void esegui_fino(uint64_t ciclo);
    void esegui_per(uint64_t cicli) { esegui_fino(ciclo() + cicli); }

    // Lane 0-7 becomes active (pulled low) or idle at `ciclo`: at the first instruction
    // boundary from there, as a real edge would meet the core.
    void linea(int corsia, bool attiva, uint64_t ciclo);
    void passaggio(int corsia, uint64_t inizio, uint64_t durata)
    {
        linea(corsia, true, inizio);
        linea(corsia, false, inizio + durata);
    }
    // Told of each edge when it is applied, with the cycle it reached the pin.
    std::function<void(int corsia, bool attiva, uint64_t ciclo)> su_fronte;

    // Bytes for the chip's receiver, in order, at the line's pace.
    void invia(const std::vector<uint8_t> &byte);
    // What the chip has sent (a terminal bridge takes away what it has delivered).
    std::vector<Byte> &ricevuti() { return ricevuti_; }
    // A request of the extended protocol and its reply, in simulated time: the reply's
    // frame, empty if none came within `limite` cycles; `inizio` gets the cycle its first
    // byte had left the chip.
    std::vector<uint8_t> scambia(const std::vector<uint8_t> &richiesta, uint64_t limite,
                                 uint64_t *inizio = nullptr);

    // The reset line: the chip starts again; the EEPROM keeps its contents.
    void reset();
    // Writes into the chip's RAM at a variable of the .elf (by its symbol).
    bool scrivi_variabile(const std::string &simbolo, const void *dati, size_t n);
    uint8_t porta(char nome) const;   // the PORTx register: what the outputs drive

    avr_t *avr() const { return avr_; }

private:
    static uint64_t applica_fronti(avr_t *avr, uint64_t quando, void *param);
    static void uscita_uart(avr_irq_t *irq, uint32_t valore, void *param);
    static void flusso_uart(avr_irq_t *irq, uint32_t valore, void *param);
    void pianifica();
    void imponi_linee(bool forza);
    void alimenta_uart();
    uint64_t cicli_per_byte() const;
    bool in_applicazione_ = false;

    avr_t *avr_ = nullptr;
    std::string errore_;
    std::map<std::string, uint32_t> simboli_;
    avr_irq_t *pin_[8] = {};
    uint8_t livelli_ = 0xFF;        // bit k = lane k's pin level (1 = idle)
    std::multimap<uint64_t, std::pair<int, bool>> fronti_;
    std::vector<uint8_t> da_inviare_;
    size_t inviati_ = 0;
    bool uart_pieno_ = false;
    std::vector<Byte> ricevuti_;
};

// A pseudo-terminal whose other end is the chip's serial line, with the simulation paced
// to the wall clock.
class PontePty {
public:
    // `collegamento`: a symbolic link made to point at the terminal (replaced if it was one).
    PontePty(Banco &banco, const std::string &collegamento);
    ~PontePty();
    bool valido() const { return master_ >= 0; }
    const std::string &errore() const { return errore_; }
    const std::string &terminale() const { return terminale_; }

    // Runs in real time until `basta` says so; `ogni_passo` is called every slice.
    void esegui(const std::function<bool()> &basta, const std::function<void()> &ogni_passo = {});
    // How far the simulation fell behind the wall clock at worst.
    double ritardo_max_ms() const { return ritardo_max_ms_; }
    // The chip never sees a frame's start byte: it then answers every byte with a status
    // byte, as a device of the classic protocol alone would.
    bool solo_classico = false;

private:
    Banco &banco_;
    int master_ = -1;
    int slave_ = -1;
    std::string collegamento_;
    std::string terminale_;
    std::string errore_;
    size_t consegnati_ = 0;
    double ritardo_max_ms_ = 0;
};

// CLOCK_MONOTONIC and CLOCK_REALTIME in seconds.
double monotonic_s();
double realtime_s();

} // namespace banco

#pragma once
#include "dispositivo/protocollo/protocollo.h"
#include "serial/mappaorologio.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

// The program's side of the timing device's extended protocol
// (docs/protocollo-dispositivo.md), fed with the bytes that arrive and the time,
// and asked what to send: HELLO until the device identifies itself (or the time
// to ask runs out), then one request at a time: POLL with the number of the last
// crossing received, the outputs when they change, HELLO again when the device
// says it left the extended protocol. Crossings come out once each, in order,
// on the program's clock (MappaOrologio, fitted from the polls). No threads, no
// port: the caller reads the clock, writes what `passo` returns at once, and
// calls `passo` again by `prossimo`.
class ProtocolloEsteso {
public:
    // What the exchanges told; called from within ricevi/passo.
    class Eventi {
    public:
        virtual ~Eventi() = default;
        // The device identified itself: for the first time, or after a restart (new boot number).
        virtual void identificato(const spd_identita &id, bool riavviato) = 0;
        virtual void linee(uint8_t stato) = 0;
        virtual void passaggio(int corsia, double istante) = 0;
        // Crossings the device dropped (its queue was full): their numbers are missing.
        virtual void persi(int quanti) = 0;
        // One request ended: answered with a valid frame or not, and whether bytes that
        // belong to no valid frame came with it.
        virtual void scambio(bool risposto, bool rumore, double ora) = 0;
    };

    enum class Fase { Ferma, Domanda, Attiva, Assente };

    static constexpr double attesaIniziale = 0.1;  // after the classic polls stopped: drained
    static constexpr double intervalloCiao = 0.3;
    static constexpr double durataDomanda = 2.5;   // an Arduino's bootloader may hold it this long
    static constexpr int ciaoMassimi = 10;         // 50 bytes: less than one identification
    static constexpr double periodo = 0.05;        // between two polls

    explicit ProtocolloEsteso(Eventi &eventi);

    void impostaVelocita(int baud);
    // The port is open: ask for the extended protocol from `ora`.
    void chiedi(double ora);
    void ferma();
    void ricevi(const uint8_t *byte, size_t n, double ora);
    // What is due by `ora`: bytes to write now (empty when nothing).
    std::vector<uint8_t> passo(double ora);
    // When passo is due next (infinity when never).
    double prossimo() const;
    Fase fase() const { return fase_; }

    // Start lights (bits 0-4) and the relay, sent with the next request.
    void uscite(uint8_t luci, bool rele);
    const MappaOrologio &mappa() const { return mappa_; }
    uint16_t ack() const { return ack_; }

private:
    struct Richiesta {
        uint8_t tipo = 0;
        double inviata = 0;   // program time it was written
        double scadenza = 0;
        size_t lunghezza = 0;
    };
    void trama(double ora);
    void identita(const spd_identita &id, double ora);
    void passaggi(const spd_passaggi &pp);
    void scambio(bool risposto, double ora);
    void abbandona(double ora);
    double istante(int corsia, int64_t tick);
    void campione(uint64_t tempo, size_t lunghezzaRisposta, double ora);
    int64_t continuo(uint64_t tempo48) const;
    std::vector<uint8_t> invia(std::vector<uint8_t> byte, uint8_t tipo, double ora);
    double secondiSulFilo(size_t byte) const { return 10.0 * double(byte) / baud_; }

    Eventi &eventi_;
    MappaOrologio mappa_;
    Fase fase_ = Fase::Ferma;
    int baud_ = 9600;

    uint8_t memoria_[SPD_TRAMA_MAX];
    spd_decodificatore dec_;
    size_t ricevuti_ = 0;   // bytes since the last request ended, and of them
    size_t validi_ = 0;     // those that made valid frames

    // Asking.
    double primoCiao_ = 0;
    double prossimoCiao_ = 0;
    int ciaoInviati_ = 0;

    // Extended.
    std::optional<Richiesta> inCorso_;
    double prossimaRichiesta_ = 0;
    bool ciaoDovuto_ = false;     // the device left the extended protocol: identify again
    bool senzaCampione_ = false;  // a reply may be late for the previous request: no clock sample
    bool conosciuto_ = false;
    uint32_t avvio_ = 0;
    uint16_t ack_ = 0;
    uint64_t riferimento48_ = 0;  // the latest reply's device time, and the same unwrapped
    int64_t riferimento_ = 0;
    std::array<std::optional<std::pair<int64_t, double>>, 8> ultimoPerCorsia_; // stamp, instant
    std::optional<std::pair<uint8_t, uint8_t>> usciteDaInviare_;
    std::pair<uint8_t, uint8_t> usciteImpostate_{0, 0};
};

#pragma once
#include "serial/protocolloesteso.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

// Something about the device the operator should know; each kind replaces the
// last notice of its kind, so none piles up.
struct AvvisoDispositivo {
    enum class Tipo {
        Esteso,       // identified: extended protocol, stamped crossings (nome, versione)
        Riavviato,    // a new boot number: the crossings since the restart are taken
        Persi,        // numbers missing: `quanti` crossings dropped by the device so far
        Silenzio,     // it no longer answers
        Risponde,     // it answers again
        Rumore,       // replies that are no status keep coming: speed or cable
        RumoreFinito, // the replies are regular again
    };
    AvvisoDispositivo(Tipo t) : tipo(t) {}
    Tipo tipo;
    std::string nome;          // the device's name, for Esteso and Riavviato
    std::array<int, 3> firmware{};
    int quanti = 0;
};

// What the link tells the program.
class AscoltoDispositivo {
public:
    virtual ~AscoltoDispositivo() = default;
    // Classic: a reply read as a status byte, and the instant it arrived.
    virtual void stato(uint8_t byte, double istante) = 0;
    // Extended: the lines as a reply found them (for the lamps only) ...
    virtual void linee(uint8_t stato) = 0;
    // ... and each crossing, stamped by the device, on the program's clock.
    virtual void passaggio(int corsia, double istante) = 0;
    // No line state can be trusted now: the lamps go to rest.
    virtual void riposo() = 0;
    virtual void avviso(const AvvisoDispositivo &avviso) = 0;
};

// The whole link to the timing device, without port or threads: when the port
// opens it asks for the extended protocol; without an identification it goes
// on with the classic poll (a blank every 100 ms, driven by the caller through
// `interrogaClassico`), whose replies it judges before any is read as a status.
// It watches both for a device that stops answering and for a line that brings
// bytes that are no reply, and says so once, and once again when it is over.
class CollegamentoDispositivo : private ProtocolloEsteso::Eventi {
public:
    enum class Modo { Fermo, Domanda, Classico, Esteso };

    // Seconds without a byte, polls going, before a device that answered is called silent.
    static constexpr double silenzio = 1.0;
    // Bad replies within `finestraRumore` seconds that make a noisy line; seconds
    // without one, replies coming, before it is regular again.
    static constexpr int rumoriMassimi = 3;
    static constexpr double finestraRumore = 2.0;
    static constexpr double quieteRumore = 5.0;
    // Classic replies in a row that must be well formed before one is read again after a bad one.
    static constexpr int fiducia = 10;

    explicit CollegamentoDispositivo(AscoltoDispositivo &ascolto);

    void impostaVelocita(int baud) { esteso_.impostaVelocita(baud); }
    // The port opened (ask) or closed.
    void avvia(double ora);
    void ferma();
    Modo modo() const { return modo_; }

    // Bytes read at `ora`.
    void ricevi(const uint8_t *byte, size_t n, double ora);
    // Asking and extended: what to write now, and when to come back.
    std::vector<uint8_t> passo(double ora);
    double prossimo() const { return esteso_.prossimo(); }
    // Classic: a blank is about to go out at `ora`; the replies to the one before are judged.
    void interrogaClassico(double ora);

    // False, and nothing sent, unless the device speaks the extended protocol.
    bool impostaUscite(uint8_t luci, bool rele);
    const ProtocolloEsteso &esteso() const { return esteso_; }

private:
    enum class Esito { Buona, Vuota, Cattiva };
    void identificato(const spd_identita &id, bool riavviato) override;
    void linee(uint8_t stato) override;
    void passaggio(int corsia, double istante) override;
    void persi(int quanti) override;
    void scambio(bool risposto, bool rumore, double ora) override;
    void esito(Esito e, double ora);
    void ricomincia();

    AscoltoDispositivo &ascolto_;
    ProtocolloEsteso esteso_;
    Modo modo_ = Modo::Fermo;
    int persi_ = 0;

    // Classic: the bytes since the last blank, and a status held until the next poll shows it was one.
    struct Finestra {
        int byte = 0;
        uint8_t primi[2] = {};
        double istante = 0;
        bool aperta = false; // a blank went out
    } finestra_;
    std::vector<std::pair<uint8_t, double>> sospesi_;
    bool vuota_ = false;  // the last blank had no reply
    int buone_ = fiducia; // well-formed replies in a row

    // Both: silence and noise, told once each.
    bool risposto_ = false;
    bool muto_ = false;
    bool rumoroso_ = false;
    double ultimaRisposta_ = 0;
    double ultimoRumore_ = 0;
    std::deque<double> rumori_;
};

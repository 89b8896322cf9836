// The firmware's logic on the host: the classic poll latched, entering and leaving the
// extended protocol, numbering, resending until acknowledged, the full queue, dead time,
// the time's wrap-arounds and the requests' checks.
#include "dispositivo/firmware/logica.h"
#include "verifica.h"

#include <vector>

using Byte = std::vector<uint8_t>;
constexpr log_tempo MS = LOG_TICK_MS;

// Plays the program: sends whole requests, reads the replies.
struct Banco {
    logica l;
    log_tempo t = 0;
    Byte risposte;          // every byte the device answered

    Banco() { logica_avvia(&l, 41, 0, 0); }

    void avanza(log_tempo ticks)
    {
        t += ticks;
        uint8_t out[SPD_TRAMA_MAX];
        uint8_t n = logica_passo(&l, t, out);
        risposte.insert(risposte.end(), out, out + n);
    }
    void linee(uint8_t attivi) { logica_linee(&l, attivi, 0xFF, t); }
    void impulso(int corsia, log_tempo durata)
    {
        linee(static_cast<uint8_t>(1u << corsia));
        avanza(durata);
        linee(0);
    }
    void invia(const Byte &byte)
    {
        for (uint8_t b : byte) {
            uint8_t out[SPD_TRAMA_MAX];
            uint8_t n = logica_byte(&l, b, t, out);
            risposte.insert(risposte.end(), out, out + n);
        }
    }
    int classico() // one blank; the status byte, or -1
    {
        risposte.clear();
        invia({0x20});
        return risposte.size() == 1 ? risposte[0] : -1;
    }
    // The reply to a request: its type, payload in `p`; 0 when no single frame came back.
    uint8_t chiedi(uint8_t (*scrivi)(uint8_t *), Byte &p) { return chiedi_trama(fai(scrivi), p); }
    uint8_t chiedi_trama(const Byte &richiesta, Byte &p)
    {
        risposte.clear();
        invia(richiesta);
        if (risposte.size() < 5 || risposte.size() != SPD_TRAMA(risposte[1]))
            return 0;
        p.assign(risposte.begin() + 3, risposte.end() - 2);
        return risposte[2];
    }
    spd_passaggi interroga(uint16_t ack, uint8_t max = SPD_PASSAGGI_MAX)
    {
        uint8_t b[SPD_TRAMA_MAX];
        Byte p;
        spd_passaggi pp = {};
        if (chiedi_trama(Byte(b, b + spd_chiedi_interroga(b, ack, max)), p) != 'p'
            || !spd_leggi_passaggi(p.data(), static_cast<uint8_t>(p.size()), &pp))
            pp.n = 0xFF;
        return pp;
    }
    spd_identita ciao()
    {
        Byte p;
        spd_identita id = {};
        if (chiedi(spd_chiedi_ciao, p) != 'h' || !spd_leggi_identita(p.data(), static_cast<uint8_t>(p.size()), &id))
            id.versione = 0;
        return id;
    }
    static Byte fai(uint8_t (*scrivi)(uint8_t *))
    {
        uint8_t b[SPD_TRAMA_MAX];
        return Byte(b, b + scrivi(b));
    }
};

static void classico_agganciato()
{
    Banco b;
    UGUALE(b.classico(), 0xFF);
    b.avanza(10 * MS);
    b.impulso(3, 1 * MS); // a 1 ms crossing between two polls
    b.avanza(90 * MS);
    UGUALE(b.classico(), 0xFF & ~0x08);
    UGUALE(b.classico(), 0xFF); // reported once
    // A held line reads active at every poll.
    b.linee(0x80);
    UGUALE(b.classico(), 0x7F);
    b.avanza(100 * MS);
    UGUALE(b.classico(), 0x7F);
    // Any byte but the frame start is a poll, as with every classic device.
    b.risposte.clear();
    b.invia({'x', 0x00});
    UGUALE(b.risposte.size(), 2);
}

static void entrata_e_uscita()
{
    Banco b;
    b.impulso(2, MS);
    Byte p;
    UGUALE(b.chiedi_trama(Banco::fai([](uint8_t *o) { return spd_chiedi_interroga(o, 0, 1); }), p), 'e');
    UGUALE(p[SPD_PREFISSO + 1], SPD_ERR_CLASSICO);
    // HELLO's bytes are not polls: the only answer is the identification.
    spd_identita id = b.ciao();
    UGUALE(b.risposte.size(), 54);
    UGUALE(id.versione, 1);
    UGUALE(id.avvio, 41);
    UGUALE(id.tick_al_secondo, 2000000);
    UGUALE(id.ultimo, 1);
    UGUALE(id.pendenti, 1);
    UGUALE(id.p.tempo, b.t);
    // In the extended protocol a blank is noise.
    b.risposte.clear();
    b.invia({0x20, 0x20});
    VERIFICA(b.risposte.empty());
    UGUALE(b.chiedi(spd_chiedi_classico, p), 'o');
    UGUALE(b.classico(), 0xFF); // the crossing latched before is not reported late

    // A program that goes quiet: 5 s without a frame and the classic protocol is back.
    b.ciao();
    b.avanza(LOG_ABBANDONO_TICK - 1);
    UGUALE(b.classico(), -1);
    b.avanza(1);
    UGUALE(b.classico(), 0xFF);
}

static void numeri_e_conferme()
{
    Banco b;
    uint16_t ack = b.ciao().ultimo;
    UGUALE(ack, 0);
    const log_tempo t1 = b.t + 100 * MS;
    for (int k : {4, 0, 6}) {
        b.avanza(100 * MS);
        b.impulso(k, MS);
    }
    spd_passaggi pp = b.interroga(ack, 2);
    UGUALE(pp.n, 2);
    UGUALE(pp.pendenti, 1);
    UGUALE(pp.v[0].numero, 1);
    UGUALE(pp.v[0].corsia, 4);
    UGUALE(pp.v[0].tempo, t1);
    UGUALE(pp.v[1].numero, 2);
    UGUALE(pp.v[1].tempo, t1 + 101 * MS);
    // The reply was lost: the same crossings come again, and nothing else.
    spd_passaggi di_nuovo = b.interroga(ack, 2);
    UGUALE(di_nuovo.n, 2);
    UGUALE(di_nuovo.v[0].numero, 1);
    UGUALE(di_nuovo.v[1].tempo, pp.v[1].tempo);
    ack = pp.v[1].numero;
    pp = b.interroga(ack);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].numero, 3);
    UGUALE(pp.v[0].corsia, 6);
    // An acknowledgement of a number never given (another boot's) drops nothing.
    UGUALE(b.interroga(500).n, 1);
    UGUALE(b.interroga(3).n, 0);
    UGUALE(b.interroga(3, 0).pendenti, 0);
    UGUALE(b.interroga(3, SPD_PASSAGGI_MAX + 1).n, 0xFF); // refused, not truncated

    // Full queue: the oldest go, and the numbers show the gap.
    for (unsigned i = 0; i < LOG_CODA + 6; ++i) {
        b.avanza(60 * MS);
        b.impulso(static_cast<int>(i % 8), MS);
    }
    pp = b.interroga(3);
    UGUALE(pp.v[0].numero, 3 + 7);
    UGUALE(pp.pendenti, LOG_CODA - pp.n);
}

static void tempo_morto()
{
    Banco b;
    uint16_t ack = b.ciao().ultimo;
    // Bounce when closing, a long hold, bounce when opening: one crossing.
    b.avanza(10 * MS);
    const log_tempo inizio = b.t;
    for (uint8_t livello : {0x02, 0x00, 0x02, 0x00, 0x02}) {
        b.linee(livello);
        b.avanza(300);
    }
    b.avanza(2000 * MS);
    for (uint8_t livello : {0x00, 0x02, 0x00, 0x02, 0x00}) {
        b.linee(livello);
        b.avanza(300);
    }
    spd_passaggi pp = b.interroga(ack);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].tempo, inizio);
    ack = pp.v[0].numero;
    // The next crossing counts once the line was quiet for the dead time, not before.
    b.avanza(LOG_TEMPO_MORTO_MS * MS - 301);
    b.impulso(1, MS);
    b.avanza(LOG_TEMPO_MORTO_MS * MS);
    b.impulso(1, MS);
    UGUALE(b.interroga(ack).n, 1);

    // Set per lane: lane 5 with none at all counts every edge.
    Byte p;
    UGUALE(b.chiedi_trama(Banco::fai([](uint8_t *o) { return spd_chiedi_tempo_morto(o, 0x20, 0); }), p), 'm');
    UGUALE(spd_prendi16(p.data() + SPD_PREFISSO + 2 * 5), 0);
    UGUALE(spd_prendi16(p.data() + SPD_PREFISSO + 2 * 4), LOG_TEMPO_MORTO_MS);
    b.impulso(5, 10);
    b.avanza(10);
    b.impulso(5, 10);
    UGUALE(b.interroga(ack).n, 3);
    UGUALE(b.chiedi_trama(Banco::fai([](uint8_t *o) { return spd_chiedi_tempo_morto(o, 0xFF, 10001); }), p), 'e');
    UGUALE(p[SPD_PREFISSO + 1], SPD_ERR_VALORE);
}

static void giri_del_tempo()
{
    // An overflow still pending when the counter is read: it counts only if the counter
    // already wrapped.
    UGUALE(log_alto_corretto(7, 0x0003, 1), 8);
    UGUALE(log_alto_corretto(7, 0xFFFD, 1), 7);
    UGUALE(log_alto_corretto(7, 0x0003, 0), 7);
    UGUALE(log_tempo_di(0xFFFFFFFF, 0xFFFF), SPD_MASCHERA48);

    // Across the 48-bit wrap: stamps go on modulo 2^48 and dead time still holds.
    Banco b;
    b.t = SPD_MASCHERA48 - 30 * MS;
    logica_avvia(&b.l, 1, 0, b.t);
    uint16_t ack = b.ciao().ultimo;
    b.impulso(0, MS);
    b.avanza(40 * MS); // past the wrap, within the dead time
    b.t &= SPD_MASCHERA48;
    b.impulso(0, MS);
    b.avanza(60 * MS);
    b.impulso(0, MS);
    spd_passaggi pp = b.interroga(ack);
    UGUALE(pp.n, 2);
    UGUALE((pp.v[1].tempo - pp.v[0].tempo) & SPD_MASCHERA48, 102 * MS);
    UGUALE(pp.p.tempo, b.t);
}

static void richieste_e_rumore()
{
    Banco b;
    b.ciao();
    Byte p;
    UGUALE(b.chiedi_trama(Banco::fai([](uint8_t *o) { return spd_chiedi_uscite(o, 0x15, 1); }), p), 'o');
    UGUALE(b.l.luci, 0x15);
    UGUALE(b.l.rele, 1);
    UGUALE(p[SPD_PREFISSO + 1], 0x95);
    UGUALE(b.chiedi_trama(Banco::fai([](uint8_t *o) { return spd_chiedi_uscite(o, 0x20, 0); }), p), 'e');
    UGUALE(p[SPD_PREFISSO + 1], SPD_ERR_VALORE);
    UGUALE(b.l.luci, 0x15);
    uint8_t t[SPD_TRAMA_MAX], uno = 1;
    UGUALE(b.chiedi_trama(Byte(t, t + spd_trama(t, SPD_USCITE, &uno, 1)), p), 'e');
    UGUALE(p[SPD_PREFISSO + 1], SPD_ERR_LUNGHEZZA);
    UGUALE(b.chiedi_trama(Byte(t, t + spd_trama(t, 'Q', nullptr, 0)), p), 'e');
    UGUALE(p[SPD_PREFISSO + 1], SPD_ERR_SCONOSCIUTA);

    // Noise, a damaged frame, a frame cut short: no answer, no change.
    b.impulso(2, MS);
    Byte rotto = Banco::fai(spd_chiedi_classico);
    rotto[3] ^= 1;
    b.risposte.clear();
    b.invia({0x00, 0x20, SPD_INIZIO, 0x99, 0xFF});
    b.invia(rotto);
    b.invia({SPD_INIZIO, 3, 'P', 0});
    b.avanza(SPD_SILENZIO_MS * MS);
    VERIFICA(b.risposte.empty());
    VERIFICA(b.l.esteso);
    spd_passaggi pp = b.interroga(0);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].corsia, 2);
    // A request cut short by the line going quiet is not glued to the next one, which is
    // answered at once.
    uint8_t cp[SPD_TRAMA_MAX];
    spd_chiedi_interroga(cp, 1, 1);
    b.invia(Byte(cp, cp + 2));
    b.avanza(SPD_SILENZIO_MS * MS);
    UGUALE(b.chiedi(spd_chiedi_ciao, p), 'h');
}

int main()
{
    return verifica::esegui({
        {"classico agganciato", classico_agganciato},
        {"entrata e uscita", entrata_e_uscita},
        {"numeri e conferme", numeri_e_conferme},
        {"tempo morto", tempo_morto},
        {"giri del tempo", giri_del_tempo},
        {"richieste e rumore", richieste_e_rumore},
    });
}

// The frames and the firmware's logic on the host: checksum, documented bytes, the pending
// timer overflow, frames found in noise, the classic poll latched, entering and leaving the
// extended protocol, numbering and resending, the full queue, dead time, wrong requests.
#include "dispositivo/firmware/logica.h"
#include "programma.h"
#include "verifica.h"

#include <random>

constexpr log_tempo MS = LOG_TICK_MS;

struct Logica {
    logica l;
    log_tempo t = 0;
    Byte risposte; // everything answered since the last request

    Logica() { logica_avvia(&l, 41, 0, 0); }
    Byte scambia(const Byte &richiesta)
    {
        uint8_t out[SPD_TRAMA_MAX];
        risposte.clear();
        for (uint8_t c : richiesta)
            risposte.insert(risposte.end(), out, out + logica_byte(&l, c, t, out));
        return risposte;
    }
    void avanza(log_tempo ticks)
    {
        uint8_t out[SPD_TRAMA_MAX];
        t += ticks;
        risposte.insert(risposte.end(), out, out + logica_passo(&l, t, out));
    }
    void linee(uint8_t attivi) { logica_linee(&l, attivi, 0xFF, t); }
    void impulso(int corsia, log_tempo durata)
    {
        linee(static_cast<uint8_t>(1u << corsia));
        avanza(durata);
        linee(0);
    }
    int classico() { return scambia({0x20}).size() == 1 ? risposte[0] : -1; }
};
using Banco = Programma<Logica>;

static void trame()
{
    UGUALE(spd_crc16(reinterpret_cast<const uint8_t *>("123456789"), 9), 0x29B1);
    // A timer overflow still pending at the reading counts only if the counter wrapped.
    UGUALE(log_alto_corretto(7, 0x0003, 1), 8);
    UGUALE(log_alto_corretto(7, 0xFFFD, 1), 7);
    UGUALE(log_alto_corretto(7, 0x0003, 0), 7);
    // The examples of docs/protocollo-dispositivo.md, byte for byte.
    VERIFICA(trama(spd_chiedi_ciao) == (Byte{0xA5, 0x00, 0x48, 0xC3, 0xD4}));
    spd_passaggi pp = {{0xFB, 0x000012400000ull}, 0, 1, {{8, 2, 0x000012345678ull}}};
    VERIFICA(trama(spd_rispondi_passaggi, &pp)
             == (Byte{0xA5, 0x11, 0x70, 0xFB, 0x00, 0x00, 0x40, 0x12, 0x00, 0x00, 0x00, 0x08, 0x00,
                      0x02, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x06, 0x18}));

    // Noise before every frame, start bytes and false lengths included: each frame comes
    // out exactly once, at the latest when the line goes quiet, and nothing else does.
    uint8_t memoria[SPD_TRAMA(SPD_RICHIESTA_PAYLOAD_MAX)];
    spd_decodificatore d;
    spd_decodificatore_avvia(&d, memoria, sizeof memoria);
    const Byte vere[] = {trama(spd_chiedi_ciao), trama(spd_chiedi_classico), trama(spd_chiedi_interroga, 1, 6)};
    std::mt19937 caso(1234);
    for (int giro = 0; giro < 3000; ++giro) {
        Byte flusso(caso() % 12);
        for (uint8_t &c : flusso)
            c = caso() % 4 == 0 ? SPD_INIZIO : static_cast<uint8_t>(caso());
        const Byte &vera = vere[caso() % 3];
        flusso.insert(flusso.end(), vera.begin(), vera.end());
        Byte tipi;
        for (uint8_t c : flusso)
            for (int r = spd_ricevi(&d, c); r; r = spd_ancora(&d))
                tipi.push_back(spd_tipo(&d));
        for (int r = spd_silenzio(&d); r; r = spd_ancora(&d))
            tipi.push_back(spd_tipo(&d));
        VERIFICA(tipi == Byte{vera[2]});
    }
}

static void classico_agganciato()
{
    Banco b;
    UGUALE(b.classico(), 0xFF);
    b.impulso(3, MS); // a 1 ms crossing between two polls
    b.avanza(90 * MS);
    UGUALE(b.classico(), 0xF7);
    UGUALE(b.classico(), 0xFF);
    b.linee(0x80); // held: active at every poll
    UGUALE(b.classico(), 0x7F);
    UGUALE(b.classico(), 0x7F);
    UGUALE(b.scambia({'x', 0x00}).size(), 2); // any byte but a frame's start is a poll
}

static void entrata_e_uscita()
{
    Banco b;
    b.impulso(2, MS);
    UGUALE(b.chiedi(trama(spd_chiedi_interroga, 0, 1)), 'e');
    UGUALE(b.errore(), SPD_ERR_CLASSICO);
    spd_identita id = b.ciao();
    UGUALE(b.risposte.size(), 54); // HELLO's bytes are not polls: no status byte among them
    UGUALE(id.ultimo, 1);
    VERIFICA(b.scambia({0x20, 0x20}).empty()); // a blank is noise now
    UGUALE(b.chiedi(trama(spd_chiedi_classico)), 'o');
    UGUALE(b.classico(), 0xFF); // what was latched before is not reported late

    // A program gone quiet for 5 s: the classic protocol is back.
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
    for (int k : {4, 0, 6}) {
        b.avanza(100 * MS);
        b.impulso(k, MS);
    }
    spd_passaggi pp = b.interroga(ack, 2);
    UGUALE(pp.n, 2);
    UGUALE(pp.pendenti, 1);
    UGUALE(pp.v[0].numero, 1);
    UGUALE(pp.v[0].corsia, 4);
    UGUALE(pp.v[0].tempo, 100 * MS);
    UGUALE(pp.v[1].tempo, 201 * MS);
    // The reply was lost: the same crossings again, and only those.
    spd_passaggi ancora = b.interroga(ack, 2);
    UGUALE(ancora.n, 2);
    pp = b.interroga(2);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].numero, 3);
    UGUALE(b.interroga(500).n, 1); // a number never given (another boot's) drops nothing
    UGUALE(b.interroga(3).n, 0);
    UGUALE(b.interroga(3, SPD_PASSAGGI_MAX + 1).n, 0xFF); // refused, not cut short

    // Full: the oldest go, the numbers show the gap.
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
    // Bounce when closing, a long hold, bounce when opening: one crossing, at the first edge.
    const log_tempo inizio = b.t;
    for (uint8_t livello : {2, 0, 2, 0, 2, 0xFF, 0, 2, 0, 2, 0}) {
        if (livello == 0xFF)
            b.avanza(2000 * MS);
        else
            b.linee(livello);
        b.avanza(300);
    }
    spd_passaggi pp = b.interroga(ack);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].tempo, inizio);
    ack = pp.v[0].numero;
    // The next counts once the line was quiet for the dead time, not one tick earlier.
    b.avanza(LOG_TEMPO_MORTO_MS * MS - 601);
    b.impulso(1, MS);
    b.avanza(LOG_TEMPO_MORTO_MS * MS);
    b.impulso(1, MS);
    UGUALE(b.interroga(ack).n, 1);

    // Lane 5 without dead time counts every edge; the others keep theirs.
    UGUALE(b.chiedi(trama(spd_chiedi_tempo_morto, 0x20, 0)), 'm');
    UGUALE(spd_prendi16(&b.payload[SPD_PREFISSO + 2 * 4]), LOG_TEMPO_MORTO_MS);
    b.impulso(5, 10);
    b.avanza(10);
    b.impulso(5, 10);
    UGUALE(b.interroga(ack).n, 3);
    UGUALE(b.chiedi(trama(spd_chiedi_tempo_morto, 0xFF, 10001)), 'e');
    UGUALE(b.errore(), SPD_ERR_VALORE);
}

static void richieste_sbagliate()
{
    Banco b;
    b.ciao();
    UGUALE(b.chiedi(trama(spd_chiedi_uscite, 0x15, 1)), 'o');
    UGUALE(b.payload[SPD_PREFISSO + 1], 0x95);
    UGUALE(b.chiedi(trama(spd_chiedi_uscite, 0x20, 0)), 'e');
    UGUALE(b.errore(), SPD_ERR_VALORE);
    UGUALE(b.l.luci, 0x15);
    uint8_t uno = 1;
    UGUALE(b.chiedi(trama(spd_trama, SPD_USCITE, &uno, 1)), 'e');
    UGUALE(b.errore(), SPD_ERR_LUNGHEZZA);
    UGUALE(b.chiedi(trama(spd_trama, 'Q', nullptr, 0)), 'e');
    UGUALE(b.errore(), SPD_ERR_SCONOSCIUTA);

    // Noise, a damaged CLASSIC, a frame cut short by silence: no answer, no change, and
    // the request after the silence is not glued to the cut one.
    Byte rumore = {0x00, 0x20, SPD_INIZIO, 0x99, 0xFF}, rotto = trama(spd_chiedi_classico);
    rotto[3] ^= 1;
    rumore.insert(rumore.end(), rotto.begin(), rotto.end());
    rumore.insert(rumore.end(), {SPD_INIZIO, 3});
    VERIFICA(b.scambia(rumore).empty());
    b.avanza(SPD_SILENZIO_MS * MS);
    VERIFICA(b.risposte.empty());
    UGUALE(b.chiedi(trama(spd_chiedi_ciao)), 'h');
}

int main()
{
    return esegui({
        {"trame e tempo: crc, esempi, overflow, rumore", trame},
        {"classico agganciato", classico_agganciato},
        {"entrata e uscita", entrata_e_uscita},
        {"numeri e conferme", numeri_e_conferme},
        {"tempo morto", tempo_morto},
        {"richieste sbagliate", richieste_sbagliate},
    });
}

// The frames both sides share: checksum, the documented examples, every reply written and
// read back, and a decoder that finds every frame again in noise.
#include "dispositivo/protocollo/protocollo.h"
#include "verifica.h"

#include <cstring>
#include <random>
#include <vector>

using Byte = std::vector<uint8_t>;

static Byte trama(uint8_t (*scrivi)(uint8_t *))
{
    uint8_t b[SPD_TRAMA_MAX];
    return Byte(b, b + scrivi(b));
}

static void crc_ed_esempi()
{
    const char *prova = "123456789";
    UGUALE(spd_crc16(reinterpret_cast<const uint8_t *>(prova), 9), 0x29B1);

    // The examples of docs/protocollo-dispositivo.md, byte for byte.
    VERIFICA(trama(spd_chiedi_ciao) == (Byte{0xA5, 0x00, 0x48, 0xC3, 0xD4}));
    uint8_t b[SPD_TRAMA_MAX];
    VERIFICA(Byte(b, b + spd_chiedi_interroga(b, 7, 4)) == (Byte{0xA5, 0x03, 0x50, 0x07, 0x00, 0x04, 0xF1, 0x4F}));
    spd_passaggi pp = {{0xFB, 0x000012400000ull}, 0, 1, {{8, 2, 0x000012345678ull}}};
    VERIFICA(Byte(b, b + spd_rispondi_passaggi(b, &pp))
             == (Byte{0xA5, 0x11, 0x70, 0xFB, 0x00, 0x00, 0x40, 0x12, 0x00, 0x00, 0x00, 0x08, 0x00,
                      0x02, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x06, 0x18}));
}

static void andata_e_ritorno()
{
    uint8_t b[SPD_TRAMA_MAX];
    spd_identita id = {};
    id.p = {0x7E, SPD_MASCHERA48};
    id.versione = 1;
    id.avvio = 0xDEADBEEF;
    id.tick_al_secondo = 2000000;
    id.corsie = 8;
    id.capacita = 64;
    id.ultimo = 65535;
    id.uscite = 0x95;
    std::strcpy(id.nome, "Corto");
    uint8_t n = spd_rispondi_identita(b, &id);
    // Longer than ten HELLOs: a classic device answering byte for byte cannot make it.
    UGUALE(n, 54);
    spd_identita letta;
    VERIFICA(spd_leggi_identita(b + 3, b[1], &letta));
    UGUALE(letta.p.tempo, SPD_MASCHERA48);
    UGUALE(letta.avvio, 0xDEADBEEF);
    UGUALE(letta.ultimo, 65535);
    UGUALE(letta.uscite, 0x95);
    VERIFICA(std::strcmp(letta.nome, "Corto                   ") == 0);
    VERIFICA(!spd_leggi_identita(b + 3, SPD_IDENTITA_PAYLOAD - 1, &letta));

    spd_passaggi pp = {{0xFF, 1}, 9, SPD_PASSAGGI_MAX, {}};
    for (uint8_t i = 0; i < SPD_PASSAGGI_MAX; ++i)
        pp.v[i] = {static_cast<uint16_t>(65533 + i), i, SPD_MASCHERA48 - i};
    n = spd_rispondi_passaggi(b, &pp);
    UGUALE(n, SPD_TRAMA(SPD_PREFISSO + 1 + 9 * SPD_PASSAGGI_MAX));
    VERIFICA(n <= SPD_TRAMA_MAX);
    spd_passaggi letti;
    VERIFICA(spd_leggi_passaggi(b + 3, b[1], &letti));
    UGUALE(letti.n, SPD_PASSAGGI_MAX);
    UGUALE(letti.pendenti, 9);
    UGUALE(letti.v[5].numero, 2); // wrapped past 65535
    UGUALE(letti.v[5].corsia, 5);
    UGUALE(letti.v[5].tempo, SPD_MASCHERA48 - 5);
    VERIFICA(!spd_leggi_passaggi(b + 3, static_cast<uint8_t>(b[1] - 1), &letti));

    spd_prefisso p = {0xF0, 12345};
    const uint16_t ms[8] = {0, 1, 50, 10000, 5, 6, 7, 8};
    n = spd_rispondi_tempi_morti(b, &p, ms);
    UGUALE(b[2], 'm');
    UGUALE(spd_prendi16(b + 3 + SPD_PREFISSO + 6), 10000);
    n = spd_rispondi_errore(b, &p, 'Z', SPD_ERR_SCONOSCIUTA);
    UGUALE(n, SPD_TRAMA(SPD_PREFISSO + 2));
    spd_prefisso letto;
    VERIFICA(spd_leggi_prefisso(b + 3, b[1], &letto));
    UGUALE(letto.tempo, 12345);
}

// Feeds bytes, then a silence; returns the types of the frames that came out.
static Byte decodifica(spd_decodificatore &d, const Byte &flusso, bool silenzio)
{
    Byte tipi;
    for (uint8_t c : flusso)
        for (int r = spd_ricevi(&d, c); r; r = spd_ancora(&d))
            tipi.push_back(spd_tipo(&d));
    if (silenzio)
        for (int r = spd_silenzio(&d); r; r = spd_ancora(&d))
            tipi.push_back(spd_tipo(&d));
    return tipi;
}

static void decodificatore_nel_rumore()
{
    uint8_t memoria[SPD_TRAMA(SPD_RICHIESTA_PAYLOAD_MAX)];
    spd_decodificatore d;
    spd_decodificatore_avvia(&d, memoria, sizeof memoria);
    Byte ciao = trama(spd_chiedi_ciao), classico = trama(spd_chiedi_classico);
    uint8_t b[SPD_TRAMA_MAX];
    Byte interroga(b, b + spd_chiedi_interroga(b, 1, 6));

    // Back to back, with noise before and between.
    Byte flusso = {0x20, 0x00, 0xFF};
    flusso.insert(flusso.end(), ciao.begin(), ciao.end());
    flusso.insert(flusso.end(), {0x13, 0x37});
    flusso.insert(flusso.end(), interroga.begin(), interroga.end());
    VERIFICA(decodifica(d, flusso, false) == (Byte{'H', 'P'}));

    // A false start whose length swallows the real frame: found once the line is quiet.
    flusso = {SPD_INIZIO, 8};
    flusso.insert(flusso.end(), classico.begin(), classico.end());
    VERIFICA(decodifica(d, flusso, false).empty());
    VERIFICA(spd_in_corso(&d));
    VERIFICA(decodifica(d, {}, true) == (Byte{'C'}));
    VERIFICA(!spd_in_corso(&d));

    // A damaged frame is dropped, the good one right after it is not.
    Byte rotto = interroga;
    rotto[4] ^= 0x40;
    flusso = rotto;
    flusso.insert(flusso.end(), ciao.begin(), ciao.end());
    VERIFICA(decodifica(d, flusso, false) == (Byte{'H'}));
    // A length beyond what this side accepts is refused at once.
    VERIFICA(decodifica(d, {SPD_INIZIO, SPD_RICHIESTA_PAYLOAD_MAX + 1, 'P'}, false).empty());
    VERIFICA(!spd_in_corso(&d));

    // Random noise, start bytes included, before every frame: each frame comes out once,
    // nothing else ever does.
    std::mt19937 caso(1234);
    const Byte *possibili[] = {&ciao, &classico, &interroga};
    for (int giro = 0; giro < 3000; ++giro) {
        Byte rumore(caso() % 12);
        for (uint8_t &c : rumore)
            c = caso() % 4 == 0 ? SPD_INIZIO : static_cast<uint8_t>(caso());
        const Byte &vera = *possibili[caso() % 3];
        rumore.insert(rumore.end(), vera.begin(), vera.end());
        Byte tipi = decodifica(d, rumore, true);
        UGUALE(tipi.size(), 1);
        if (tipi.size() == 1)
            UGUALE(tipi[0], vera[2]);
    }
}

int main()
{
    return verifica::esegui({
        {"crc ed esempi", crc_ed_esempi},
        {"andata e ritorno", andata_e_ritorno},
        {"decodificatore nel rumore", decodificatore_nel_rumore},
    });
}

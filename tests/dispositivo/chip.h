#pragma once
// The program's side of the link to the simulated chip, in simulated time: the firmware
// that is flashed, a request at a time, its replies decoded.
#include "dispositivo/banco/banco.h"
#include "dispositivo/protocollo/protocollo.h"

#include <vector>

using banco::cicli_ms;
using banco::cicli_us;
using Byte = std::vector<uint8_t>;

struct Chip {
    banco::Banco b{FIRMWARE};
    size_t letti = 0;
    uint8_t memoria[SPD_TRAMA_MAX];
    spd_decodificatore d;
    Byte payload;
    uint64_t inizio_risposta = 0; // when the reply's first byte had left the chip

    Chip()
    {
        spd_decodificatore_avvia(&d, memoria, sizeof memoria);
        b.esegui_per(cicli_ms(5)); // past the start-up
    }

    // Sends a request; the reply's type (payload in `payload`), 0 if none came in time.
    uint8_t chiedi(const Byte &richiesta, double limite_ms = 200)
    {
        b.invia(richiesta);
        const uint64_t fine = b.ciclo() + cicli_ms(limite_ms);
        while (b.ciclo() < fine) {
            b.esegui_per(cicli_us(100));
            for (; letti < b.ricevuti().size(); ++letti) {
                if (b.ricevuti()[letti].ciclo > b.ciclo())
                    break; // still on the wire
                if (!spd_in_corso(&d))
                    inizio_risposta = b.ricevuti()[letti].ciclo;
                if (spd_ricevi(&d, b.ricevuti()[letti].valore)) {
                    ++letti;
                    payload.assign(spd_payload(&d), spd_payload(&d) + spd_lunghezza(&d));
                    return spd_tipo(&d);
                }
            }
        }
        return 0;
    }
    // One byte of the classic protocol; the status byte, or -1.
    int classico(uint8_t c = 0x20)
    {
        b.invia({c});
        b.esegui_per(cicli_ms(5));
        if (letti >= b.ricevuti().size())
            return -1;
        return b.ricevuti()[letti++].valore;
    }
    spd_identita ciao()
    {
        uint8_t r[SPD_TRAMA_MAX];
        spd_identita id = {};
        if (chiedi(Byte(r, r + spd_chiedi_ciao(r))) != 'h'
            || !spd_leggi_identita(payload.data(), static_cast<uint8_t>(payload.size()), &id))
            id.versione = 0;
        return id;
    }
    spd_passaggi interroga(uint16_t ack, uint8_t max = SPD_PASSAGGI_MAX)
    {
        uint8_t r[SPD_TRAMA_MAX];
        spd_passaggi pp = {};
        if (chiedi(Byte(r, r + spd_chiedi_interroga(r, ack, max))) != 'p'
            || !spd_leggi_passaggi(payload.data(), static_cast<uint8_t>(payload.size()), &pp))
            pp.n = 0xFF;
        return pp;
    }
    // Every crossing queued after `ack`, over as many polls as it takes.
    std::vector<spd_passaggio> tutti(uint16_t &ack)
    {
        std::vector<spd_passaggio> v;
        for (;;) {
            spd_passaggi pp = interroga(ack);
            if (pp.n == 0xFF || pp.n == 0)
                return v;
            v.insert(v.end(), pp.v, pp.v + pp.n);
            ack = pp.v[pp.n - 1].numero;
        }
    }
    void passaggio(int corsia, uint64_t inizio, uint64_t durata)
    {
        b.linea(corsia, true, inizio);
        b.linea(corsia, false, inizio + durata);
    }
};

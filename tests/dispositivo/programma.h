#pragma once
// The program's side of the link, written once for both benches (the firmware's logic on
// the host, the firmware on the simulated chip): `Linea::scambia` carries a request's bytes
// and returns the frame that came back, empty if none did.
#include "dispositivo/protocollo/protocollo.h"

#include <vector>

using Byte = std::vector<uint8_t>;

template <class F, class... A>
Byte trama(F scrivi, A... a)
{
    uint8_t b[SPD_TRAMA_MAX];
    return Byte(b, b + scrivi(b, a...));
}

template <class Linea>
struct Programma : Linea {
    Byte payload;

    // The reply's type (its payload in `payload`), 0 for none.
    uint8_t chiedi(const Byte &richiesta)
    {
        Byte r = this->scambia(richiesta);
        if (r.size() < 5 || r.size() != SPD_TRAMA(r[1])
            || spd_crc16(&r[1], static_cast<uint8_t>(r[1] + 2)) != spd_prendi16(&r[r.size() - 2]))
            return 0;
        payload.assign(r.begin() + 3, r.end() - 2);
        return r[2];
    }
    uint8_t errore() const { return payload.size() == SPD_PREFISSO + 2 ? payload[SPD_PREFISSO + 1] : 0; }
    spd_identita ciao()
    {
        spd_identita id = {};
        if (chiedi(trama(spd_chiedi_ciao)) != 'h' || !spd_leggi_identita(payload.data(), static_cast<uint8_t>(payload.size()), &id))
            id.versione = 0;
        return id;
    }
    // n = 0xFF when no crossings reply came.
    spd_passaggi interroga(uint16_t ack, uint8_t max = SPD_PASSAGGI_MAX)
    {
        spd_passaggi pp = {};
        if (chiedi(trama(spd_chiedi_interroga, ack, max)) != 'p'
            || !spd_leggi_passaggi(payload.data(), static_cast<uint8_t>(payload.size()), &pp))
            pp.n = 0xFF;
        return pp;
    }
    // Every crossing queued after `ack`, over as many polls as it takes.
    std::vector<spd_passaggio> tutti(uint16_t &ack)
    {
        std::vector<spd_passaggio> v;
        for (spd_passaggi pp; (pp = interroga(ack)).n && pp.n != 0xFF; ack = v.back().numero)
            v.insert(v.end(), pp.v, pp.v + pp.n);
        return v;
    }
};

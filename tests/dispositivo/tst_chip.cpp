// The firmware that is flashed, on a simulated ATmega328P, in simulated time: crossings
// latched in both protocols, stamps exact to the timer's tick across every wrap-around,
// bounce, noise on the line, the outputs and a reset.
#include "chip.h"
#include "verifica.h"

#include <random>

using banco::cicli_ms;

namespace {

// Where each crossing's first edge really reached the pin.
struct Registro {
    std::vector<std::pair<int, uint64_t>> inizi;
    explicit Registro(Chip &c)
    {
        c.b.su_fronte = [this](int corsia, bool attiva, uint64_t ciclo) {
            if (attiva)
                inizi.emplace_back(corsia, ciclo);
        };
    }
};

// Device ticks (0.5 us, 8 cycles) between two instants, modulo 2^48.
long long tick(uint64_t da, uint64_t a) { return static_cast<long long>((a - da + 4) / 8); }
long long differenza(uint64_t s1, uint64_t s2) { return static_cast<long long>((s2 - s1) & SPD_MASCHERA48); }

// Each stamp against the first one, by the cycles at which the edges arrived.
void stamp_esatti(const std::vector<spd_passaggio> &v, const Registro &r, int tolleranza)
{
    UGUALE(v.size(), r.inizi.size());
    for (size_t i = 0; i < v.size() && i < r.inizi.size(); ++i) {
        UGUALE(v[i].corsia, r.inizi[i].first);
        VICINO(differenza(v[0].tempo, v[i].tempo), tick(r.inizi[0].second, r.inizi[i].second), tolleranza);
    }
}

} // namespace

static void un_millisecondo_agganciato()
{
    Chip c;
    UGUALE(c.classico(), 0xFF);
    uint64_t t = c.b.ciclo();
    c.passaggio(3, t + cicli_ms(20), cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(100));
    UGUALE(c.classico(), 0xFF & ~0x08);
    UGUALE(c.classico(), 0xFF);

    spd_identita id = c.ciao();
    UGUALE(id.versione, 1);
    UGUALE(id.tick_al_secondo, 2000000);
    uint16_t ack = id.ultimo;
    t = c.b.ciclo();
    c.passaggio(5, t + cicli_ms(20), cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(100));
    spd_passaggi pp = c.interroga(ack);
    UGUALE(pp.n, 1);
    UGUALE(pp.v[0].corsia, 5);
    UGUALE(pp.v[0].numero, ack + 1);
    // The reply's time is the poll's arrival: before the reply's first byte was out by at
    // most that byte's 1.04 ms and the work on the request.
    long long scarto = tick(t + cicli_ms(20), c.inizio_risposta) - differenza(pp.v[0].tempo, pp.p.tempo);
    VERIFICA(scarto >= 2083 && scarto <= 2083 + 600);
    UGUALE(c.interroga(pp.v[0].numero).n, 0);
}

static void due_corsie_a_200_us()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    Registro r(c);
    const uint64_t t = c.b.ciclo() + cicli_ms(10);
    // Across the two ports, within one port, and the later lane first.
    const int coppie[3][2] = {{0, 7}, {1, 2}, {7, 6}};
    for (int i = 0; i < 3; ++i) {
        c.passaggio(coppie[i][0], t + cicli_ms(100) * i, cicli_ms(5));
        c.passaggio(coppie[i][1], t + cicli_ms(100) * i + cicli_us(200), cicli_ms(5));
    }
    c.b.esegui_fino(t + cicli_ms(300));
    std::vector<spd_passaggio> v = c.tutti(ack);
    stamp_esatti(v, r, 1);
    for (size_t i = 1; i < v.size(); i += 2)
        UGUALE(differenza(v[i - 1].tempo, v[i].tempo), 400);
}

static void rimbalzi_filtrati()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    Registro r(c);
    const uint64_t t = c.b.ciclo() + cicli_ms(10);
    c.passaggio(0, t, cicli_ms(2));
    // Lane 5 closes with bounce, is held, opens with bounce.
    const uint64_t chiusa = t + cicli_ms(100);
    const double fronti_ms[] = {0, 0.3, 0.5, 0.9, 1.2, 30, 30.2, 30.4};
    for (int i = 0; i < 8; ++i)
        c.b.linea(5, i % 2 == 0, chiusa + cicli_ms(fronti_ms[i]));
    c.b.esegui_fino(t + cicli_ms(200));
    std::vector<spd_passaggio> v = c.tutti(ack);
    UGUALE(v.size(), 2);
    UGUALE(r.inizi.size(), 5); // the closing edges did reach the pin
    if (v.size() == 2) {
        UGUALE(v[1].corsia, 5);
        VICINO(differenza(v[0].tempo, v[1].tempo), tick(t, chiusa), 2);
    }
}

static void giri_del_contatore()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    Registro r(c);
    // A first crossing tells the counter's phase, hence when it wraps next.
    const uint64_t t = c.b.ciclo() + cicli_ms(5);
    c.passaggio(0, t, cicli_ms(1));
    c.b.esegui_fino(t + cicli_ms(10));
    std::vector<spd_passaggio> v = c.tutti(ack);
    UGUALE(v.size(), 1);
    if (v.empty())
        return;
    const uint64_t giro = 65536ull * 8;
    const uint64_t primo_giro = t + (65536 - v[0].tempo % 65536) * 8 + 2 * giro;
    // Edges from 20 ticks before to 19 after successive wraps: the stamp is read before the
    // wrap, just after it with the overflow still pending, or once it was served.
    for (int n = 0; n < 40; ++n)
        c.passaggio(1 + n % 7, primo_giro + n * giro + (n - 20) * 8 + n % 8, cicli_ms(1));
    c.b.esegui_fino(primo_giro + 41 * giro);
    std::vector<spd_passaggio> giri = c.tutti(ack);
    giri.insert(giri.begin(), v[0]);
    // Up to 3 us late when the edge came while the overflow was being served; a wrap lost
    // or counted twice would be 65536 ticks off.
    stamp_esatti(giri, r, 8);

    // The 48-bit time wraps too: the software count set three overflows short of it.
    const uint64_t meta = c.b.ciclo() + (giro - (c.b.ciclo() - primo_giro) % giro) + giro / 2;
    c.b.esegui_fino(meta);
    uint32_t quasi = 0xFFFFFFFD;
    VERIFICA(c.b.scrivi_variabile("saettino_tempo_alto", &quasi, sizeof quasi));
    r.inizi.clear();
    for (int n = 0; n < 8; ++n)
        c.passaggio(n, meta + giro / 4 + n * giro, cicli_ms(1));
    c.b.esegui_fino(meta + 9 * giro);
    // Its clock leapt years ahead, so the chip took the program for gone: ask again.
    UGUALE(c.ciao().versione, 1);
    std::vector<spd_passaggio> oltre = c.tutti(ack);
    stamp_esatti(oltre, r, 8);
    VERIFICA(oltre.size() == 8 && oltre[7].tempo < oltre[0].tempo); // it did wrap
}

static void rumore_e_uscite()
{
    Chip c;
    uint16_t ack = c.ciao().ultimo;
    c.passaggio(2, c.b.ciclo() + cicli_ms(1), cicli_ms(1));
    c.b.esegui_per(cicli_ms(5));
    Byte rumore = {0x00, SPD_INIZIO, 0x99, 0x20, SPD_INIZIO, 0x05, 'P', 0x01, 0x02};
    std::mt19937 caso(7);
    for (int i = 0; i < 60; ++i)
        rumore.push_back(static_cast<uint8_t>(caso()));
    uint8_t r[SPD_TRAMA_MAX];
    Byte rotto(r, r + spd_chiedi_interroga(r, ack, 6));
    rotto[4] ^= 0x10;
    rumore.insert(rumore.end(), rotto.begin(), rotto.end());
    UGUALE(c.chiedi(rumore, 50), 0); // no answer to any of it
    spd_passaggi pp = c.interroga(ack);
    UGUALE(pp.n, 1); // still extended, the crossing once
    UGUALE(pp.v[0].corsia, 2);
    UGUALE(c.interroga(pp.v[0].numero).n, 0);

    UGUALE(c.chiedi(Byte(r, r + spd_chiedi_uscite(r, 0x15, 1))), 'o');
    c.b.esegui_per(cicli_ms(1));
    UGUALE(c.b.porta('C') & 0x3F, 0x35);
    UGUALE(c.chiedi(Byte(r, r + spd_chiedi_uscite(r, 0x0A, 0))), 'o');
    c.b.esegui_per(cicli_ms(1));
    UGUALE(c.b.porta('C') & 0x3F, 0x0A);
}

static void reset_notato()
{
    Chip c;
    spd_identita prima = c.ciao();
    c.passaggio(4, c.b.ciclo() + cicli_ms(1), cicli_ms(1));
    c.b.esegui_per(cicli_ms(500));
    const uint64_t orologio = c.interroga(prima.ultimo).p.tempo;
    c.b.reset();
    c.b.esegui_per(cicli_ms(20));
    uint8_t r[SPD_TRAMA_MAX];
    UGUALE(c.chiedi(Byte(r, r + spd_chiedi_interroga(r, prima.ultimo, 6))), 'e');
    UGUALE(c.payload[SPD_PREFISSO + 1], SPD_ERR_CLASSICO);
    spd_identita dopo = c.ciao();
    UGUALE(dopo.avvio, prima.avvio + 1);
    UGUALE(dopo.ultimo, 0);
    VERIFICA(dopo.p.tempo < orologio / 4); // the clock started again
}

int main()
{
    return verifica::esegui({
        {"1 ms agganciato nei due protocolli", un_millisecondo_agganciato},
        {"due corsie a 200 us", due_corsie_a_200_us},
        {"rimbalzi filtrati", rimbalzi_filtrati},
        {"giri del contatore", giri_del_contatore},
        {"rumore e uscite", rumore_e_uscite},
        {"reset notato", reset_notato},
    });
}

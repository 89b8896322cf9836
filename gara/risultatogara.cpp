#include "gara/risultatogara.h"

#include <algorithm>
#include <cmath>

namespace gara {

namespace {
// Totals are sums of fractions: equal to the thousandth of a lap is equal.
bool stesso(double a, double b) { return std::abs(a - b) < 5e-7; }
} // namespace

RisultatoGara calcolaRisultatoGara(const QVector<IscrittoGara> &iscritti,
                                   const QHash<qint64, QVector<EsitoInManche>> &esiti,
                                   const QHash<qint64, Sanzioni> &sanzioniGara)
{
    RisultatoGara r;
    for (const IscrittoGara &i : iscritti) {
        RisultatoPilotaGara p;
        p.iscritto = i.id;
        p.nome = i.nome;
        p.dettaglio = esiti.value(i.id);
        p.sanzioniGara = sanzioniGara.value(i.id);
        p.squalificato = p.sanzioniGara.squalificato;
        double punti = 0;
        for (const EsitoInManche &m : std::as_const(p.dettaglio)) {
            if (!eGara(m.tipo)) continue;
            ++p.manche;
            const EsitoPilota &e = m.esito;
            if (e.migliorGiro > 0 && (p.migliorGiro == 0 || e.migliorGiro < p.migliorGiro)) p.migliorGiro = e.migliorGiro;
            if (e.stato == StatoPilota::Squalificato) continue;
            p.giri += e.giriSanzionati;
            p.frazioni += e.frazione;
            punti += e.punteggio();
        }
        // Penalties on the whole event: laps as they are, seconds as parts of his best lap.
        p.giri = std::max(0, p.giri + p.sanzioniGara.giri);
        punti += p.sanzioniGara.giri;
        if (p.sanzioniGara.secondi != 0 && p.migliorGiro > 0) punti -= p.sanzioniGara.secondi / p.migliorGiro;
        p.totale = p.squalificato ? 0 : std::max(0.0, punti);
        r.classifica.append(p);
    }
    auto prima = [](const RisultatoPilotaGara &a, const RisultatoPilotaGara &b) {
        if (a.squalificato != b.squalificato) return b.squalificato;
        if (!stesso(a.totale, b.totale)) return a.totale > b.totale;
        if ((a.migliorGiro > 0) != (b.migliorGiro > 0)) return a.migliorGiro > 0;
        return a.migliorGiro < b.migliorGiro;
    };
    std::stable_sort(r.classifica.begin(), r.classifica.end(), prima);
    for (int k = 0; k < r.classifica.size(); ++k) {
        RisultatoPilotaGara &p = r.classifica[k];
        p.posizione = k + 1;
        if (k == 0 || p.squalificato) continue;
        const RisultatoPilotaGara &d = r.classifica[k - 1];
        if (!d.squalificato && stesso(p.totale, d.totale) && p.migliorGiro == d.migliorGiro) {
            p.exAequo = true;
            p.posizione = d.posizione;
        }
    }
    return r;
}

} // namespace gara

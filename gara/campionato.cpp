#include "gara/campionato.h"

#include "comune/nomepilota.h"

#include <QHash>
#include <algorithm>
#include <numeric>

namespace gara {

int TabellaPunti::perPosizione(int posizione) const
{
    return posizione >= 1 && posizione <= punti.size() ? punti[posizione - 1] : 0;
}

QString TabellaPunti::errore() const
{
    if (punti.isEmpty()) return QStringLiteral("La tabella dei punti è vuota: indicare almeno i punti del primo classificato.");
    for (int k = 0; k < punti.size(); ++k) {
        if (punti[k] < 0) return QStringLiteral("I punti non possono essere negativi (posizione %1).").arg(k + 1);
        if (k > 0 && punti[k] > punti[k - 1])
            return QStringLiteral("La posizione %1 non può valere più punti della posizione %2.").arg(k + 1).arg(k);
    }
    return {};
}

ClassificaCampionato calcolaCampionato(QVector<GaraDelCampionato> gare, const TabellaPunti &tabella, int scarti)
{
    std::stable_sort(gare.begin(), gare.end(),
                     [](const GaraDelCampionato &a, const GaraDelCampionato &b) { return a.data < b.data; });
    ClassificaCampionato c;
    c.gare = gare;
    c.scarti = std::max(0, scarti);
    const int n = gare.size();
    QHash<QString, int> indice; // name key -> row
    QVector<QVector<int>> posizioni; // per row, per event: place, 0 when absent or disqualified
    for (int g = 0; g < n; ++g)
        for (const PiazzamentoGara &p : std::as_const(gare[g].classifica)) {
            const QString chiave = chiaveNomePilota(p.nome);
            auto it = indice.find(chiave);
            if (it == indice.end()) {
                it = indice.insert(chiave, c.righe.size());
                RigaCampionato r;
                r.punti = QVector<int>(n, -1);
                r.scartata = QVector<bool>(n, false);
                c.righe.append(r);
                posizioni.append(QVector<int>(n, 0));
            }
            RigaCampionato &r = c.righe[*it];
            r.nome = p.nome;
            r.punti[g] = p.squalificato ? 0 : tabella.perPosizione(p.posizione);
            if (!p.squalificato && p.posizione > 0) {
                posizioni[*it][g] = p.posizione;
                if (r.piazzamenti.size() < p.posizione) r.piazzamenti.resize(p.posizione);
                ++r.piazzamenti[p.posizione - 1];
            }
        }
    for (RigaCampionato &r : c.righe) {
        // The worst results go, missed events (0) first; one result always stays.
        QVector<int> ordine(n);
        std::iota(ordine.begin(), ordine.end(), 0);
        std::stable_sort(ordine.begin(), ordine.end(), [&](int a, int b) {
            const int pa = std::max(0, r.punti[a]), pb = std::max(0, r.punti[b]);
            if (pa != pb) return pa < pb;
            return (r.punti[a] < 0) > (r.punti[b] < 0);
        });
        const int via = std::min(c.scarti, std::max(0, n - 1));
        for (int k = 0; k < via; ++k) r.scartata[ordine[k]] = true;
        for (int g = 0; g < n; ++g) {
            const int pt = std::max(0, r.punti[g]);
            r.lordo += pt;
            if (!r.scartata[g]) r.totale += pt;
        }
    }
    QVector<int> righe(c.righe.size());
    std::iota(righe.begin(), righe.end(), 0);
    // Equal points: places counted back, then the latest event both were ranked in.
    auto confronta = [&](int a, int b, QString *perche) {
        const RigaCampionato &ra = c.righe[a], &rb = c.righe[b];
        if (ra.totale != rb.totale) return ra.totale > rb.totale ? -1 : 1;
        const int posti = std::max(ra.piazzamenti.size(), rb.piazzamenti.size());
        for (int k = 0; k < posti; ++k) {
            const int va = ra.piazzamenti.value(k), vb = rb.piazzamenti.value(k);
            if (va == vb) continue;
            if (perche)
                *perche = k == 0 ? QStringLiteral("a pari punti, meno vittorie")
                                 : QStringLiteral("a pari punti, meno %1° posti").arg(k + 1);
            return va > vb ? -1 : 1;
        }
        for (int g = n - 1; g >= 0; --g) {
            const int pa = posizioni[a][g], pb = posizioni[b][g];
            if (pa == 0 || pb == 0 || pa == pb) continue;
            if (perche) *perche = QStringLiteral("a pari punti e piazzamenti, dietro in %1").arg(c.gare[g].nome);
            return pa < pb ? -1 : 1;
        }
        return 0;
    };
    std::stable_sort(righe.begin(), righe.end(), [&](int a, int b) { return confronta(a, b, nullptr) < 0; });
    QVector<RigaCampionato> ordinate;
    for (int k = 0; k < righe.size(); ++k) {
        RigaCampionato r = c.righe[righe[k]];
        r.posizione = k + 1;
        if (k > 0) {
            const RigaCampionato &d = ordinate.last();
            QString perche;
            const int esito = confronta(righe[k - 1], righe[k], &perche);
            if (esito == 0) {
                r.exAequo = true;
                r.posizione = d.posizione;
            } else if (r.totale == d.totale) {
                r.spareggio = perche;
            }
        }
        ordinate.append(r);
    }
    c.righe = ordinate;
    return c;
}

} // namespace gara

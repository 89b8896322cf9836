#include "gara/programma.h"

#include <QSet>
#include <algorithm>
#include <functional>
#include <numeric>

namespace gara {

namespace {
// Drivers heat c has on its lanes in a circle of `giro` places: c, c+1, ... (places past the drivers are free).
QVector<int> finestra(int c, int corsie, int giro, int piloti)
{
    QVector<int> f;
    for (int j = 0; j < corsie; ++j) {
        const int s = (c + j) % giro;
        f.append(s < piloti ? s : -1);
    }
    return f;
}

// Orders the heats of the circle so that consecutive ones share as few drivers as possible.
// The cost of going from heat c to heat c+d depends on d alone.
QVector<int> ordina(int giro, const QVector<int> &costo)
{
    QVector<int> migliore(giro);
    std::iota(migliore.begin(), migliore.end(), 0);
    auto totale = [&](const QVector<int> &o) {
        int t = 0;
        for (int p = 1; p < o.size(); ++p) t += costo[(o[p] - o[p - 1] + giro) % giro];
        return t;
    };
    int costoMigliore = totale(migliore);
    // Steps of one size that visit every heat.
    for (int k = 2; k < giro && costoMigliore > 0; ++k) {
        if (std::gcd(k, giro) != 1) continue;
        QVector<int> o(giro);
        for (int p = 0; p < giro; ++p) o[p] = (p * k) % giro;
        const int t = totale(o);
        if (t < costoMigliore) {
            costoMigliore = t;
            migliore = o;
        }
    }
    // Then a search that tries the cheapest step first, within a bounded effort.
    const int minimo = *std::min_element(costo.begin() + 1, costo.end());
    QVector<int> passi(giro - 1);
    std::iota(passi.begin(), passi.end(), 1);
    std::stable_sort(passi.begin(), passi.end(), [&](int a, int b) { return costo[a] < costo[b]; });
    QVector<int> o{0};
    QVector<bool> usato(giro, false);
    usato[0] = true;
    long nodi = 0;
    const long limite = 200000;
    std::function<void(int)> cerca = [&](int parziale) {
        if (++nodi > limite || costoMigliore == 0) return;
        if (o.size() == giro) {
            if (parziale < costoMigliore) {
                costoMigliore = parziale;
                migliore = o;
            }
            return;
        }
        for (int d : std::as_const(passi)) {
            const int c = (o.last() + d) % giro;
            if (usato[c]) continue;
            const int nuovo = parziale + costo[d];
            if (nuovo + (giro - 1 - int(o.size())) * minimo >= costoMigliore) continue;
            usato[c] = true;
            o.append(c);
            cerca(nuovo);
            o.removeLast();
            usato[c] = false;
        }
    };
    cerca(0);
    return migliore;
}
} // namespace

int MancheProgrammata::piloti() const
{
    return int(std::count_if(corsie.cbegin(), corsie.cend(), [](int p) { return p >= 0; }));
}

int MancheProgrammata::corsiaDi(int pilota) const { return corsie.indexOf(pilota); }

QVector<int> corsieAttive(quint8 maschera)
{
    QVector<int> c;
    for (int k = 0; k < corsieMassime; ++k)
        if (maschera & (1u << k)) c.append(k);
    return c;
}

ProgrammaGenerato generaProgramma(int piloti, quint8 maschera)
{
    ProgrammaGenerato g;
    const QVector<int> corsie = corsieAttive(maschera);
    const int n = corsie.size();
    if (piloti <= 0) {
        g.errore = QStringLiteral("Nessun pilota iscritto: non si può preparare il programma delle manche.");
        return g;
    }
    if (n == 0) {
        g.errore = QStringLiteral("Tutte le corsie sono disattivate: attivarne almeno una per preparare le manche.");
        return g;
    }
    if (piloti % n == 0) {
        // Fixed groups, a round at a time; each round moves every driver one lane on.
        const int gruppi = piloti / n;
        for (int turno = 0; turno < n; ++turno)
            for (int gruppo = 0; gruppo < gruppi; ++gruppo) {
                MancheProgrammata m;
                m.turno = turno + 1;
                for (int j = 0; j < n; ++j) m.corsie[corsie[j]] = gruppo * n + (j + turno) % n;
                g.programma.append(m);
            }
        return g;
    }
    // A circle of as many places as heats: heat c takes places c .. c+n-1, so
    // each driver meets each lane once.
    const int giro = std::max(piloti, n);
    QVector<int> costo(giro, 0);
    {
        const QVector<int> primo = finestra(0, n, giro, piloti);
        for (int d = 1; d < giro; ++d) {
            const QVector<int> altro = finestra(d, n, giro, piloti);
            for (int s : primo)
                if (s >= 0 && altro.contains(s)) ++costo[d];
        }
    }
    // With fewer drivers than lanes everyone races every heat: the order changes nothing.
    QVector<int> ordine(giro);
    std::iota(ordine.begin(), ordine.end(), 0);
    if (piloti > n) ordine = ordina(giro, costo);
    for (int p = 0; p < giro; ++p) {
        MancheProgrammata m;
        m.turno = p * n / giro + 1;
        const QVector<int> f = finestra(ordine[p], n, giro, piloti);
        for (int j = 0; j < n; ++j) m.corsie[corsie[j]] = f[j];
        g.programma.append(m);
    }
    return g;
}

int mancheConsecutive(const Programma &programma)
{
    int n = 0;
    for (int p = 1; p < programma.size(); ++p)
        for (int s : programma[p].corsie)
            if (s >= 0 && programma[p - 1].corsie.contains(s)) ++n;
    return n;
}

int minimoMancheConsecutive(int piloti, int corsie)
{
    if (piloti <= 0 || corsie <= 0) return 0;
    const int manche = std::max(piloti, corsie);
    const int perManche = std::min(piloti, corsie);
    // Each driver races `corsie` heats out of `manche`: they cannot all be apart when there is no room.
    const int perPilota = piloti * std::max(0, 2 * corsie - manche - 1);
    // Two full heats in a row share whoever does not fit in both.
    const int perPassaggio = (manche - 1) * std::max(0, 2 * perManche - piloti);
    return std::max(perPilota, perPassaggio);
}

VerificaProgramma verificaProgramma(const Programma &programma, const QStringList &nomi, quint8 maschera,
                                    int giaCorse)
{
    VerificaProgramma v;
    const QVector<int> attive = corsieAttive(maschera);
    auto nome = [&](int s) { return nomi.value(s); };
    if (attive.isEmpty()) {
        v.errore = QStringLiteral("Tutte le corsie sono disattivate: attivarne almeno una per preparare le manche.");
        return v;
    }
    if (programma.size() <= giaCorse) {
        v.errore = QStringLiteral("Il programma non ha manche da correre.");
        return v;
    }
    // Lanes each driver races, in heat order.
    QVector<QVector<int>> volte(nomi.size(), QVector<int>(corsieMassime, 0));
    for (int h = 0; h < programma.size(); ++h) {
        const MancheProgrammata &m = programma[h];
        if (m.corsie.size() != corsieMassime) {
            v.errore = QStringLiteral("Manche %1: le corsie non sono %2.").arg(h + 1).arg(corsieMassime);
            return v;
        }
        QVector<int> corsiaDi(nomi.size(), -1);
        for (int c = 0; c < corsieMassime; ++c) {
            const int s = m.corsie[c];
            if (s < 0 || (h < giaCorse && s >= nomi.size())) continue;
            if (h < giaCorse) { // run as it was: counted, not judged
                if (corsiaDi[s] < 0) corsiaDi[s] = c;
                ++volte[s][c];
                continue;
            }
            if (s >= nomi.size()) {
                v.errore = QStringLiteral("Manche %1: sulla corsia %2 c'è un pilota che non è iscritto.").arg(h + 1).arg(c + 1);
                return v;
            }
            if (!attive.contains(c)) {
                v.errore = QStringLiteral("Manche %1: la corsia %2 è disattivata, ma vi corre %3.")
                               .arg(h + 1).arg(c + 1).arg(nome(s));
                return v;
            }
            if (corsiaDi[s] >= 0) {
                v.errore = QStringLiteral("Manche %1: %2 è su due corsie (corsia %3 e corsia %4). "
                                          "Un pilota può correre su una sola corsia per manche.")
                               .arg(h + 1).arg(nome(s)).arg(corsiaDi[s] + 1).arg(c + 1);
                return v;
            }
            corsiaDi[s] = c;
            ++volte[s][c];
        }
        if (m.piloti() == 0 && h >= giaCorse) v.avvisi.append(QStringLiteral("La manche %1 non ha piloti.").arg(h + 1));
        if (h > 0)
            for (int s = 0; s < nomi.size(); ++s)
                if (corsiaDi[s] >= 0 && programma[h - 1].corsie.contains(s))
                    v.avvisi.append(QStringLiteral("%1 corre due manche di seguito (%2 e %3).").arg(nome(s)).arg(h).arg(h + 1));
    }
    for (int s = 0; s < nomi.size(); ++s)
        for (int c : attive) {
            if (volte[s][c] == 0) v.avvisi.append(QStringLiteral("%1 non corre sulla corsia %2.").arg(nome(s)).arg(c + 1));
            else if (volte[s][c] > 1)
                v.avvisi.append(QStringLiteral("%1 corre %2 volte sulla corsia %3.").arg(nome(s)).arg(volte[s][c]).arg(c + 1));
        }
    return v;
}

} // namespace gara

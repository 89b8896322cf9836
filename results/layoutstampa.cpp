#include "results/layoutstampa.h"
#include "comune/identita.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

// Positions are kept in whole millimetres so that "exactly 23 cm" stays exact.
constexpr int limiteMm = 230;

// How far below its top a text of this size reaches, in millimetres: the line
// height of common faces (ascent and descent) with a little to spare.
double altezzaTestoMm(double punti) { return punti * 1.2 * 25.4 / 72.0; }

class Penna {
public:
    explicit Penna(QVector<VoceStampa> &voci) : voci_(voci) {}
    bool grassetto = false;
    double punti = 10;
    int pagina = 0;

    void scrivi(int xMm, int yMm, const QString &testo)
    {
        if (testo.isEmpty()) return; // a Null or empty field leaves its place blank
        voci_.append({xMm / 10.0, yMm / 10.0, punti, grassetto, pagina, testo});
    }

private:
    QVector<VoceStampa> &voci_;
};

QString testo(const std::optional<QString> &v) { return v.value_or(QString()); }

QString numeroNullo(const std::optional<qint64> &v)
{
    return v ? LayoutStampa::numero(*v) : QString();
}

} // namespace

QString LayoutStampa::numero(qint64 n)
{
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

QString LayoutStampa::titolo()
{
    return QString::fromUtf8(identita::nomeStampa) + QStringLiteral("  -  Stampa dei Tempi ");
}

QString LayoutStampa::lineaCrediti()
{
    return QString::fromUtf8(identita::nomeStampa)
        + QStringLiteral("  -  cronometraggio giri del gruppo SaettinoPro");
}

QVector<VoceStampa> LayoutStampa::componi(const DatiStampa &dati, double altezzaPagina)
{
    QVector<VoceStampa> voci;
    Penna p(voci);
    int y = 0;

    // The lowest place of a footer's rule that keeps its credit line on the page.
    auto piedeMassimo = [&](double punti) {
        return static_cast<int>(std::floor(altezzaPagina * 10 - 5 - altezzaTestoMm(punti)));
    };
    auto pieDiPagina = [&] {
        p.grassetto = true;
        // 2 cm below the last line, or as low as the page allows when that would be off it
        // (only a page the standings filled comes so far down).
        const int yPiede = std::min(y + 20, piedeMassimo(p.punti));
        p.scrivi(34, yPiede, regola(117));
        p.scrivi(35, yPiede + 5, lineaCrediti());
    };
    auto nuovaPagina = [&] {
        pieDiPagina();
        ++p.pagina;
        y = 5;
    };

    // Title.
    p.grassetto = true;
    p.punti = 16;
    p.scrivi(40, 10, titolo());
    p.scrivi(40, 13, regola(66));

    // Best lap.
    p.punti = 13.5;
    p.scrivi(38, 30, QStringLiteral("Pilota"));
    p.scrivi(90, 30, QStringLiteral("Best Lap"));
    p.scrivi(140, 30, QStringLiteral("Tempo"));
    p.grassetto = false;
    p.punti = 10;
    y = 38;
    if (dati.migliore) {
        p.scrivi(40, y, testo(dati.migliore->pilota));
        p.scrivi(90, y, numeroNullo(dati.migliore->giro));
        p.scrivi(145, y, testo(dati.migliore->tempo));
    }
    p.scrivi(40, y + 2, regola(101));
    y += 5;
    y += 10;

    // Final standings; a long list goes on over the next pages with its heads.
    auto testateClassifica = [&] {
        p.grassetto = true;
        p.punti = 13.5;
        p.scrivi(30, y - 5, QStringLiteral("Classifica Finale"));
        p.scrivi(30, y, QStringLiteral("Posizione"));
        p.scrivi(68, y, QStringLiteral("Pilota"));
        p.scrivi(95, y, QStringLiteral("Giri Complessivi"));
        p.scrivi(147, y, QStringLiteral("Tempo Totale"));
        y += 8;
        p.grassetto = false;
        p.punti = 10;
    };
    testateClassifica();
    qint64 posizione = 1;
    // A line fits when it and its rule end above the place of the page's footer.
    auto rigaCabe = [&] { return y + 2 + altezzaTestoMm(10) <= piedeMassimo(10); };
    for (int i = 0; i < dati.classifica.size(); ++i) {
        if (i > 0 && !rigaCabe()) {
            nuovaPagina();
            y += 10;
            testateClassifica();
        }
        const RigaClassifica &r = dati.classifica[i];
        p.scrivi(40, y, numero(posizione++));
        p.scrivi(72, y, testo(r.pilota));
        p.scrivi(113, y, numeroNullo(r.giri));
        p.scrivi(155, y, testo(r.tempoTotale));
        p.scrivi(30, y + 2, regola(122));
        y += 5;
    }
    y += 5;

    // Lap times: each driver's laps in the order of the lap query.
    QHash<QString, QVector<int>> giriDi;
    for (int k = 0; k < dati.sunto.size(); ++k) {
        if (dati.sunto[k].pilota) giriDi[*dati.sunto[k].pilota].append(k);
    }
    bool paginaNuova = false;
    auto testataTempi = [&] {
        y += 10;
        p.grassetto = true;
        p.punti = 13.5;
        p.scrivi(20, y - 6, QStringLiteral("Tempi Totali"));
    };
    if (y > limiteMm) { // the standings filled the page: start the laps on a fresh one
        nuovaPagina();
        paginaNuova = true;
    }
    testataTempi();

    int colonna = 20;
    auto stampaGiro = [&](int k) {
        p.scrivi(colonna, y, testo(dati.sunto[k].tempo));
        p.scrivi(20, y + 2, regola(131));
        colonna += 20;
        if (colonna > 160) {
            y += 5;
            colonna = 20;
        }
    };

    int riprendiDa = 0; // first of the driver's laps still to print
    for (int i = 0; i < dati.classifica.size();) {
        const RigaClassifica &r = dati.classifica[i];
        const bool inCima = paginaNuova;
        paginaNuova = false;
        p.grassetto = true;
        p.scrivi(38, y, testo(r.pilota));
        y += 8;
        p.grassetto = false;
        p.punti = 10;
        colonna = 20;

        static const QVector<int> nessuno;
        const QVector<int> &giri = r.pilota ? giriDi.value(*r.pilota, nessuno) : nessuno;
        int k = riprendiDa;
        bool interrotto = false;
        if (!dati.sunto.isEmpty() && y > limiteMm) {
            // The name already stands below the limit: the first lap record breaks the page.
            if (k == 0 && !giri.isEmpty() && giri.first() == 0) stampaGiro(giri[k++]);
            interrotto = true;
        } else {
            while (k < giri.size()) {
                stampaGiro(giri[k++]);
                if (y > limiteMm) {
                    interrotto = true;
                    break;
                }
            }
        }
        if (interrotto) {
            nuovaPagina();
            paginaNuova = true;
            testataTempi();
            // A block that already began at the top of a page would never fit:
            // it goes on from the next lap instead of starting over.
            riprendiDa = inCima ? k : 0;
            continue;
        }
        riprendiDa = 0;
        y += 15;
        ++i;
    }

    pieDiPagina();
    return voci;
}

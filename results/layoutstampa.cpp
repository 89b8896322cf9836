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

// The report laid out top to bottom: a pen, the line it has reached, and the
// page's height for the footer. Each part of the report is one step.
class Impaginazione {
public:
    Impaginazione(const DatiStampa &dati, double altezzaPagina) : dati_(dati), altezzaPagina_(altezzaPagina) {}

    QVector<VoceStampa> componi()
    {
        titoloEMigliorGiro();
        classifica();
        tempiTotali();
        pieDiPagina();
        return voci_;
    }

private:
    // The lowest place of a footer's rule that keeps its credit line on the page.
    int piedeMassimo(double punti) const
    {
        return static_cast<int>(std::floor(altezzaPagina_ * 10 - 5 - altezzaTestoMm(punti)));
    }

    void pieDiPagina()
    {
        p_.grassetto = true;
        // 2 cm below the last line, or as low as the page allows when that would be off it
        // (only a page the standings filled comes so far down).
        const int yPiede = std::min(y_ + 20, piedeMassimo(p_.punti));
        p_.scrivi(34, yPiede, LayoutStampa::regola(117));
        p_.scrivi(35, yPiede + 5, LayoutStampa::lineaCrediti());
    }

    void nuovaPagina()
    {
        pieDiPagina();
        ++p_.pagina;
        y_ = 5;
    }

    void titoloEMigliorGiro()
    {
        p_.grassetto = true;
        p_.punti = 16;
        p_.scrivi(40, 10, LayoutStampa::titolo());
        p_.scrivi(40, 13, LayoutStampa::regola(66));

        p_.punti = 13.5;
        p_.scrivi(38, 30, QStringLiteral("Pilota"));
        p_.scrivi(90, 30, QStringLiteral("Best Lap"));
        p_.scrivi(140, 30, QStringLiteral("Tempo"));
        p_.grassetto = false;
        p_.punti = 10;
        y_ = 38;
        if (dati_.migliore) {
            p_.scrivi(40, y_, testo(dati_.migliore->pilota));
            p_.scrivi(90, y_, numeroNullo(dati_.migliore->giro));
            p_.scrivi(145, y_, testo(dati_.migliore->tempo));
        }
        p_.scrivi(40, y_ + 2, LayoutStampa::regola(101));
        y_ += 5;
        y_ += 10;
    }

    void testateClassifica()
    {
        p_.grassetto = true;
        p_.punti = 13.5;
        p_.scrivi(30, y_ - 5, QStringLiteral("Classifica Finale"));
        p_.scrivi(30, y_, QStringLiteral("Posizione"));
        p_.scrivi(68, y_, QStringLiteral("Pilota"));
        p_.scrivi(95, y_, QStringLiteral("Giri Complessivi"));
        p_.scrivi(147, y_, QStringLiteral("Tempo Totale"));
        y_ += 8;
        p_.grassetto = false;
        p_.punti = 10;
    }

    // Final standings; a long list goes on over the next pages with its heads.
    void classifica()
    {
        testateClassifica();
        qint64 posizione = 1;
        // A line fits when it and its rule end above the place of the page's footer.
        const auto rigaCabe = [this] { return y_ + 2 + altezzaTestoMm(10) <= piedeMassimo(10); };
        for (int i = 0; i < dati_.classifica.size(); ++i) {
            if (i > 0 && !rigaCabe()) {
                nuovaPagina();
                y_ += 10;
                testateClassifica();
            }
            const RigaClassifica &r = dati_.classifica[i];
            p_.scrivi(40, y_, LayoutStampa::numero(posizione++));
            p_.scrivi(72, y_, testo(r.pilota));
            p_.scrivi(113, y_, numeroNullo(r.giri));
            p_.scrivi(155, y_, testo(r.tempoTotale));
            p_.scrivi(30, y_ + 2, LayoutStampa::regola(122));
            y_ += 5;
        }
        y_ += 5;
    }

    void testataTempi()
    {
        y_ += 10;
        p_.grassetto = true;
        p_.punti = 13.5;
        p_.scrivi(20, y_ - 6, QStringLiteral("Tempi Totali"));
    }

    void stampaGiro(int k)
    {
        p_.scrivi(colonna_, y_, testo(dati_.sunto[k].tempo));
        p_.scrivi(20, y_ + 2, LayoutStampa::regola(131));
        colonna_ += 20;
        if (colonna_ > 160) {
            y_ += 5;
            colonna_ = 20;
        }
    }

    // Lap times: each driver's laps in the order of the lap query.
    void tempiTotali()
    {
        QHash<QString, QVector<int>> giriDi;
        for (int k = 0; k < dati_.sunto.size(); ++k) {
            if (dati_.sunto[k].pilota) giriDi[*dati_.sunto[k].pilota].append(k);
        }
        bool paginaNuova = false;
        if (y_ > limiteMm) { // the standings filled the page: start the laps on a fresh one
            nuovaPagina();
            paginaNuova = true;
        }
        testataTempi();

        int riprendiDa = 0; // first of the driver's laps still to print
        for (int i = 0; i < dati_.classifica.size();) {
            const RigaClassifica &r = dati_.classifica[i];
            const bool inCima = paginaNuova;
            paginaNuova = false;
            p_.grassetto = true;
            p_.scrivi(38, y_, testo(r.pilota));
            y_ += 8;
            p_.grassetto = false;
            p_.punti = 10;
            colonna_ = 20;

            static const QVector<int> nessuno;
            const QVector<int> &giri = r.pilota ? giriDi.value(*r.pilota, nessuno) : nessuno;
            int k = riprendiDa;
            bool interrotto = false;
            if (!dati_.sunto.isEmpty() && y_ > limiteMm) {
                // The name already stands below the limit: the first lap record breaks the page.
                if (k == 0 && !giri.isEmpty() && giri.first() == 0) stampaGiro(giri[k++]);
                interrotto = true;
            } else {
                while (k < giri.size()) {
                    stampaGiro(giri[k++]);
                    if (y_ > limiteMm) {
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
            y_ += 15;
            ++i;
        }
    }

    const DatiStampa &dati_;
    const double altezzaPagina_;
    QVector<VoceStampa> voci_;
    Penna p_{voci_};
    int y_ = 0;
    int colonna_ = 20;
};

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
    return Impaginazione(dati, altezzaPagina).componi();
}

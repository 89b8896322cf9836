// From a lap mark to both grids refreshed (fineGiro + memorizza +
// aggiornaTabella), with 1,000, 10,000 and 100,000 laps already stored for 8
// drivers, one mark at a time and 8 marks in one event (a status byte of the
// timing device with every line active). The same is measured for a naive
// store that reopens the file for every lap and rescans Giri for the
// standings and the fastest laps. Prints median and 99th percentile.
// Last, race control's corrections on the 100,000-lap file: of a lap early in a
// driver's laps (every later lap renumbered) and of a recent one.
#include "archiviodiretto.h"
#include "database/archiviotempi.h"
#include "database/correzionigiri.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "results/grigliarisultati.h"
#include "comune/identita.h"
#include "timing/globale.h"
#include "timing/sessione.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const QString password = QString::fromUtf8(identita::password);
constexpr int numPiloti = 8;

QString nomePilota(int i) { return QStringLiteral("Pilota d'esempio %1").arg(i + 1); }

// The store as a literal reading of the lap procedure would build it: the file
// is opened anew (key derivation included) for every lap and for every lap
// counter, and the standings come from a GROUP BY over all of Giri.
class ArchivioIngenuo : public ArchivioGiri {
public:
    ArchivioIngenuo(Database &dbTempi, QString percorso)
        : db_(dbTempi), percorso_(std::move(percorso)) {}

    int contaGiri(const QString &pilota) override
    {
        db_.apri(percorso_, password);
        Istruzione q = db_.prepara("SELECT Max(giroN) AS numeroGiri FROM Giri WHERE Giri.pilota = ?");
        q.lega(1, pilota);
        return q.passo() ? int(q.intero(0)) : 0;
    }
    void scriviGiroVeloce(float tempo) override
    {
        Istruzione u = db_.prepara("UPDATE Tempofast SET Tempo = ?");
        u.lega(1, double(tempo));
        u.esegui();
    }
    void memorizza(const GiroCompletato &g) override
    {
        db_.apri(percorso_, password);
        Transazione t(db_);
        {
            Istruzione ins = db_.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista) "
                                         "VALUES (?, ?, ?, ?, ?, ?, ?)");
            ins.lega(1, g.pilota).lega(2, g.giroN).lega(3, double(g.tempoGiro)).lega(4, g.tempo)
                .lega(5, g.quando.date().toString(QStringLiteral("dd/MM/yyyy")))
                .lega(6, g.quando.time().toString(QStringLiteral("H:m:s"))).lega(7, g.pista);
            ins.esegui();
        }
        db_.esegui(QStringLiteral("DELETE FROM TempoTotale"));
        db_.esegui(QStringLiteral("INSERT INTO TempoTotale SELECT * FROM Classifica"));
        // Walk the rebuilt table and rewrite every total as time text, row by row.
        QList<QPair<qint64, double>> righe;
        {
            Istruzione q = db_.prepara("SELECT rowid, TempoTotale FROM TempoTotale");
            while (q.passo()) righe.append({q.intero(0), q.reale(1)});
        }
        for (const auto &r : righe) {
            Istruzione u = db_.prepara("UPDATE TempoTotale SET TempoTotale = testoTempo(?) WHERE rowid = ?");
            u.lega(1, r.second).lega(2, r.first);
            u.esegui();
        }
        t.conferma();
    }

private:
    Database &db_;
    QString percorso_;
};

// Turns a file of the real schema into the naive one: no running totals, no
// indexes, standings by GROUP BY.
void rendiIngenuo(Database &db)
{
    db.esegui(QStringLiteral(
        "DROP TRIGGER Giri_aggiunto; DROP TRIGGER Giri_tolto; DROP TRIGGER Giri_cambiato;"
        "DROP INDEX Giri_pilota; DROP INDEX Giri_tempo; DROP VIEW Classifica; DROP TABLE TotaliPiloti;"
        "CREATE VIEW Classifica AS SELECT pilota AS Pilota, count(*) AS Giri, sum(tempoGiro) AS TempoTotale "
        "FROM Giri GROUP BY pilota ORDER BY count(*) DESC, sum(tempoGiro), pilota;"));
}

void riempi(Database &db, int giri)
{
    QRandomGenerator caso(7);
    Transazione t(db);
    const QDateTime quando(QDate(2026, 12, 5), QTime(9, 5, 3));
    for (int i = 0; i < giri; ++i) {
        const int p = i % numPiloti;
        const float tempo = 40.0f + float(caso.bounded(40000)) / 1000.0f;
        Istruzione ins = db.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista) "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?)");
        ins.lega(1, nomePilota(p)).lega(2, i / numPiloti + 1).lega(3, double(tempo))
            .lega(4, QStringLiteral("00:40,000")).lega(5, quando.date().toString(QStringLiteral("dd/MM/yyyy")))
            .lega(6, QStringLiteral("9:5:3")).lega(7, QStringLiteral("Pista Nord"));
        ins.esegui();
    }
    t.conferma();
    Transazione r(db);
    archivioTempi::ricostruisciTempoTotale(db);
    r.conferma();
}

struct Cifre {
    double mediana = 0, p99 = 0;
};

Cifre statistiche(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    Cifre c;
    const size_t n = ms.size();
    c.mediana = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2.0;
    c.p99 = ms[std::min(n - 1, size_t(std::ceil(0.99 * double(n))) - 1)];
    return c;
}

struct Misura {
    Cifre singolo, evento;
};

// One timing window's worth of session: the lanes started, then marks.
Misura misura(Database &db, ArchivioGiri &archivio, int campioniSingoli, int campioniEventi)
{
    MessaggiFinti messaggi;
    OrologioManuale orologio(36000.0);
    QTableView griglia1, griglia2;
    GriglieRisultati griglie(db, messaggi, &griglia1, &griglia2);
    Sessione sessione(orologio, messaggi, archivio);
    for (int i = 0; i < numPiloti; ++i) sessione.impostaPilota(i, nomePilota(i));
    sessione.inizializza();
    griglie.aggiornaTabella();
    sessione.start();
    QRandomGenerator caso(11);
    QElapsedTimer cronometro;
    Misura m;

    std::vector<double> singoli;
    for (int k = 0; k < campioniSingoli; ++k) {
        orologio.avanza(5.0f + float(caso.bounded(1000)) / 250.0f);
        cronometro.start();
        sessione.marca(k % numPiloti);
        griglie.aggiornaTabella();
        singoli.push_back(double(cronometro.nsecsElapsed()) / 1e6);
    }
    m.singolo = statistiche(singoli);

    std::vector<double> eventi;
    for (int k = 0; k < campioniEventi; ++k) {
        orologio.avanza(40.0f + float(caso.bounded(1000)) / 100.0f);
        cronometro.start();
        // As the device decoder does for a status byte of 0: lines 7 down to 0.
        for (int linea = numPiloti - 1; linea >= 0; --linea) {
            sessione.marca(linea);
            griglie.aggiornaTabella();
        }
        eventi.push_back(double(cronometro.nsecsElapsed()) / 1e6);
    }
    m.evento = statistiche(eventi);
    if (!messaggi.mostrati.isEmpty())
        std::fprintf(stderr, "messaggio inatteso: %s\n", qPrintable(messaggi.ultimo()));
    return m;
}

// One correction after another, merge and delete in turn, each on the 5th lap
// of a driver from the start or from the end.
Cifre misuraCorrezioni(Database &db, int campioni, bool dallaFine)
{
    std::vector<double> ms;
    QElapsedTimer cronometro;
    for (int k = 0; k < campioni; ++k) {
        GiroScelto g;
        g.pilota = nomePilota(k % numPiloti);
        Istruzione q = db.prepara(dallaFine ? "SELECT id, giroN FROM Giri WHERE pilota = ? ORDER BY giroN DESC LIMIT 1 OFFSET 4"
                                            : "SELECT id, giroN FROM Giri WHERE pilota = ? ORDER BY giroN LIMIT 1 OFFSET 4");
        q.lega(1, g.pilota);
        if (!q.passo()) break;
        g.id = q.intero(0);
        g.giroN = int(q.intero(1));
        QString motivo;
        cronometro.start();
        correzioni::correggi(db, g, k % 2 ? correzioni::Tipo::Elimina : correzioni::Tipo::Unisci, &motivo);
        ms.push_back(double(cronometro.nsecsElapsed()) / 1e6);
    }
    return statistiche(ms);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir cartella;
    globale().nomePista = QStringLiteral("Pista Nord");
    globale().lunghezzaPista = 1200;

    std::printf("Mark to both grids refreshed, milliseconds (median / 99th percentile)\n");
    std::printf("%-9s | %-21s | %-21s | %-21s | %-21s\n", "laps", "store: 1 mark",
                "store: 8-mark event", "naive: 1 mark", "naive: 8-mark event");
    double medianaMille = 0, medianaCentomila = 0, ingenuoCentomila = 0;
    for (const int giri : {1000, 10000, 100000}) {
        const QString percorso = cartella.filePath(QStringLiteral("veloce-%1.mb").arg(giri));
        const QString percorsoIngenuo = cartella.filePath(QStringLiteral("ingenuo-%1.mb").arg(giri));
        Database db;
        schema::apriDatabase(db, percorso);
        riempi(db, giri);
        ArchivioDiretto archivio(db);
        const Misura veloce = misura(db, archivio, 400, 50);

        Database dbTempi;
        schema::apriDatabase(dbTempi, percorsoIngenuo);
        rendiIngenuo(dbTempi);
        riempi(dbTempi, giri);
        ArchivioIngenuo ingenuo(dbTempi, percorsoIngenuo);
        const Misura lento = misura(dbTempi, ingenuo, 60, 8);

        std::printf("%-9d | %8.2f / %-10.2f | %8.2f / %-10.2f | %8.2f / %-10.2f | %8.2f / %-10.2f\n",
                    giri, veloce.singolo.mediana, veloce.singolo.p99, veloce.evento.mediana,
                    veloce.evento.p99, lento.singolo.mediana, lento.singolo.p99, lento.evento.mediana,
                    lento.evento.p99);
        if (giri == 1000) medianaMille = veloce.singolo.mediana;
        if (giri == 100000) {
            const Cifre presto = misuraCorrezioni(db, 40, false), tardi = misuraCorrezioni(db, 40, true);
            std::printf("%-9d | correction, merge or delete: of lap 5 (~12,500 laps renumbered) %.2f / %.2f, "
                        "5th from the end %.2f / %.2f\n",
                        giri, presto.mediana, presto.p99, tardi.mediana, tardi.p99);
            medianaCentomila = veloce.singolo.mediana;
            ingenuoCentomila = lento.singolo.mediana;
        }
    }
    const double crescita = medianaCentomila / medianaMille;
    const double vantaggio = ingenuoCentomila / medianaCentomila;
    std::printf("100,000-lap median / 1,000-lap median: %.2f (target at most 1.5): %s\n", crescita,
                crescita <= 1.5 ? "met" : "MISSED");
    std::printf("naive / store at 100,000 laps: %.1f times (target at least 20): %s\n", vantaggio,
                vantaggio >= 20.0 ? "met" : "MISSED");
    return 0;
}

// Time to read, lay out and render the session report to PDF for large sessions.
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "results/layoutstampa.h"
#include "results/stampa.h"
#include "results/superficiestampa.h"
#include "comune/identita.h"
#include "timing/tempotesto.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

double mediana(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Laps stored round by round, as a race produces them.
void riempi(Database &db, int piloti, int giri)
{
    Transazione t(db);
    for (int g = 1; g <= giri; ++g) {
        for (int p = 0; p < piloti; ++p) {
            // Prepared once: the connection caches the statement.
            Istruzione ins = db.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista) "
                                        "VALUES (?, ?, ?, ?, '05/12/2026', '10:0:0', 'Pista Nord')");
            const float tempo = 38.0f + static_cast<float>((p * 37 + g * 11) % 900) / 100.0f;
            ins.lega(1, QStringLiteral("Pilota %1").arg(p + 1))
                .lega(2, g)
                .lega(3, static_cast<double>(tempo))
                .lega(4, testoTempo(tempo));
            ins.esegui();
        }
    }
    archivioTempi::ricostruisciTempoTotale(db);
    t.conferma();
}

void misura(const QString &cartella, int piloti, int giri, int ripetizioni)
{
    Database db;
    const QString percorso = cartella + QStringLiteral("/bench-%1-%2.mb").arg(piloti).arg(giri);
    schema::apriDatabase(db, percorso);
    riempi(db, piloti, giri);

    QVector<double> lettura, impaginazione, pdf;
    QVector<VoceStampa> voci;
    qint64 byte = 0;
    for (int r = 0; r < ripetizioni; ++r) {
        QElapsedTimer t;
        t.start();
        const DatiStampa dati = Stampa::leggiDati(db);
        lettura.append(t.nsecsElapsed() / 1e6);
        t.restart();
        voci = LayoutStampa::componi(dati, FilePdf(QString()).altezzaPagina());
        impaginazione.append(t.nsecsElapsed() / 1e6);
        t.restart();
        const QString file = cartella + QStringLiteral("/report.pdf");
        QString errore;
        if (!FilePdf(file).stampa(voci, &errore)) {
            std::printf("PDF failed: %s\n", qPrintable(errore));
            return;
        }
        pdf.append(t.nsecsElapsed() / 1e6);
        byte = QFileInfo(file).size();
    }
    const int pagine = voci.isEmpty() ? 0 : voci.last().pagina + 1;
    std::printf("%3d drivers x %3d laps (%6d laps): read %7.1f ms  layout %7.1f ms  "
                "read+layout %7.1f ms  PDF %8.1f ms  total %8.1f ms  (%d items, %d pages, %lld KiB)\n",
                piloti, giri, piloti * giri, mediana(lettura), mediana(impaginazione),
                mediana(lettura) + mediana(impaginazione), mediana(pdf),
                mediana(lettura) + mediana(impaginazione) + mediana(pdf),
                static_cast<int>(voci.size()), pagine, byte / 1024);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir cartella;
    std::printf("Session report, median of the runs (target: 50 x 200 under one second)\n");
    misura(cartella.path(), 50, 200, 5);
    misura(cartella.path(), 200, 500, 3);
    return 0;
}

// What the safety of the stored laps costs, with 1,000, 10,000 and 100,000
// laps stored: one backup (read under a lock, written, read back, renamed),
// the full check of a file offered for loading, and a whole Load (check,
// copy beside, check again, backup, replace, reopen). Prints medians.
#include "database/archiviotempi.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "database/schema.h"
#include "database/sessionisalvate.h"
#include "dialogofilefinto.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/identita.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double mediana(int volte, const std::function<void()> &passo)
{
    std::vector<double> ms;
    QElapsedTimer cronometro;
    for (int i = 0; i < volte; ++i) {
        cronometro.start();
        passo();
        ms.push_back(double(cronometro.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString password = QString::fromUtf8(identita::password);
    std::printf("Milliseconds, median of 7\n%-7s | %-8s | %-7s | %-10s | %-7s\n", "laps", "file KB", "backup",
                "full check", "Load");
    for (const int giri : {1000, 10000, 100000}) {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
        const QString sessione = cartella.filePath(QStringLiteral("gara.qlt"));
        Database db;
        schema::apriDatabase(db, percorso);
        {
            Transazione t(db);
            for (int i = 0; i < giri; ++i) {
                Istruzione ins = db.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista) "
                                            "VALUES (?, ?, ?, '00:40,000', '05/12/2026', '9:5:3', 'Pista Nord')");
                ins.lega(1, QStringLiteral("Pilota %1").arg(i % 8)).lega(2, i / 8 + 1).lega(3, 40.0 + (i % 977) / 100.0);
                ins.esegui();
            }
            archivioTempi::ricostruisciTempoTotale(db);
            t.conferma();
        }
        OrologioManuale orologio;
        CopieSicurezza copie(percorso, orologio);
        MessaggiFinti messaggi;
        DialogoFileFinto dialogo;
        SessioniSalvate sessioni(db, percorso, dialogo, messaggi, copie);
        sessioni.salvaIn(sessione, nullptr);
        QString errore;
        const double copia = mediana(7, [&] { copie.copia(&errore); });
        const double controllo = mediana(7, [&] { Database::verificaFile(sessione, password, &errore); });
        const double carica = mediana(7, [&] { sessioni.caricaDa(sessione); });
        std::printf("%-7d | %-8lld | %-7.1f | %-10.1f | %-7.1f\n", giri, QFileInfo(percorso).size() / 1024, copia,
                    controllo, carica);
        if (!errore.isEmpty() || !messaggi.mostrati.isEmpty()) std::fprintf(stderr, "inatteso: %s\n", qPrintable(errore));
    }
    return 0;
}

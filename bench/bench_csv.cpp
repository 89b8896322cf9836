// "Esporta CSV..." and "Esporta Excel..." on 100,000 stored laps of 200
// drivers: reading them on a connection of its own (key derivation included),
// building the texts or the workbook and writing the files through temporary
// files. Prints median and worst of 5, and the peak memory.
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "comune/identita.h"
#include "results/esportazionecsv.h"
#include "results/esportazioneexcel.h"
#include "timing/tempotesto.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
    constexpr int giri = 100000, piloti = 200;
    {
        Database db;
        schema::apriDatabase(db, percorso);
        Transazione t(db);
        const QDateTime quando(QDate(2026, 12, 5), QTime(9, 5, 3));
        for (int i = 0; i < giri; ++i) {
            const float tempo = 40.0f + float((i * 7919) % 40000) / 1000.0f;
            archivioTempi::inserisciGiro(db, {QStringLiteral("Pilota \"%1\"; di prova").arg(i % piloti), i / piloti + 1,
                                              tempo, testoTempo(tempo), QStringLiteral("Pista Nord"), quando});
        }
        archivioTempi::ricostruisciTempoTotale(db);
        t.conferma();
    }
    std::vector<double> lettura, scrittura, totale;
    const QString file = cartella.filePath(QStringLiteral("gara.csv"));
    for (int prova = 0; prova < 5; ++prova) {
        QElapsedTimer t;
        t.start();
        Database db;
        db.apri(percorso, QString::fromUtf8(identita::password), false);
        const EsportazioneCsv::Dati dati = EsportazioneCsv::leggi(db);
        lettura.push_back(double(t.nsecsElapsed()) / 1e6);
        QElapsedTimer s;
        s.start();
        QString errore;
        if (!EsportazioneCsv::scrivi(file, dati, &errore)) std::fprintf(stderr, "%s\n", qPrintable(errore));
        scrittura.push_back(double(s.nsecsElapsed()) / 1e6);
        totale.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    auto riga = [](const char *nome, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%-38s %8.1f ms median, %8.1f ms worst\n", nome, v[v.size() / 2], v.back());
        return v[v.size() / 2];
    };
    std::printf("CSV export of %d laps, %d drivers\n", giri, piloti);
    riga("open + read (own connection)", lettura);
    riga("both texts + temporary files + rename", scrittura);
    const double mediana = riga("whole export", totale);
    std::printf("files: %lld + %lld bytes\n", QFileInfo(file).size(),
                QFileInfo(EsportazioneCsv::fileClassifica(file)).size());
    std::printf("whole export median %.0f ms (target under 1000 ms): %s\n", mediana, mediana < 1000 ? "met" : "MISSED");

    std::vector<double> letturaX, scritturaX, totaleX;
    const QString cartellaLavoro = cartella.filePath(QStringLiteral("gara.xlsx"));
    for (int prova = 0; prova < 5; ++prova) {
        QElapsedTimer t;
        t.start();
        Database db;
        db.apri(percorso, QString::fromUtf8(identita::password), false);
        const EsportazioneExcel::Dati dati = EsportazioneExcel::leggi(db);
        letturaX.push_back(double(t.nsecsElapsed()) / 1e6);
        QElapsedTimer s;
        s.start();
        QString errore;
        if (!EsportazioneExcel::scrivi(cartellaLavoro, dati, &errore)) std::fprintf(stderr, "%s\n", qPrintable(errore));
        scritturaX.push_back(double(s.nsecsElapsed()) / 1e6);
        totaleX.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("\nExcel export of %d laps, %d drivers\n", giri, piloti);
    riga("open + read (own connection)", letturaX);
    riga("workbook + temporary file + rename", scritturaX);
    riga("whole export", totaleX);
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    std::printf("workbook: %lld bytes; peak memory of the whole run %ld MB\n", QFileInfo(cartellaLavoro).size(),
                uso.ru_maxrss / 1024);
    return 0;
}

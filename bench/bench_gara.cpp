// The race day at the size of a club's season: 20 events, each 64 drivers on
// 8 lanes over 8 rounds (64 heats of 8, about 15 laps a driver a heat, some
// 154,000 laps in the file). Measures the heat schedule's making, one event's
// result and the championship table rebuilt from the encrypted file on a
// fresh connection (key derivation included) and on a warm one. Prints
// median and worst of 5. `bench_gara FOLDER` keeps the file there and uses
// it again on the next run.
#include "comune/identita.h"
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "gara/archiviogara.h"
#include "gara/programma.h"
#include "results/esportazionegara.h"
#include "results/stampagara.h"
#include "timing/tempotesto.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace gara;

namespace {
constexpr int gare = 20, piloti = 64, corsie = 8, giriPerManche = 15;

// Wall time, and the processor time of this program (what a busy machine does not inflate).
double riga(const char *nome, const std::function<void()> &lavoro, int volte = 5)
{
    std::vector<double> v, cpu;
    for (int k = 0; k < volte; ++k) {
        QElapsedTimer t;
        t.start();
        const std::clock_t c = std::clock();
        lavoro();
        cpu.push_back(double(std::clock() - c) * 1000.0 / CLOCKS_PER_SEC);
        v.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(v.begin(), v.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-52s %8.2f ms median, %8.2f ms worst, %8.2f ms CPU\n", nome, v[v.size() / 2], v.back(),
                cpu[cpu.size() / 2]);
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temporanea;
    const QString cartella = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporanea.path();
    const QString percorso = cartella + QStringLiteral("/saettinopro.mb");
    const bool giaFatto = QFileInfo::exists(percorso);
    const QString password = QString::fromUtf8(identita::password);

    std::printf("Schedule generation\n");
    riga("64 drivers on 8 lanes (8 groups, 8 rounds)", [] { generaProgramma(piloti, 0xFF); }, 21);
    riga("63 drivers on 8 lanes (a circle, heats ordered by search)", [] { generaProgramma(63, 0xFF); }, 21);
    riga("61 drivers on 7 lanes, lane 4 broken", [] { generaProgramma(61, 0xF7); }, 21);
    {
        const Programma p = generaProgramma(63, 0xFF).programma;
        std::printf("  63 on 8: %d heats, %d drivers racing twice in a row (least possible %d)\n", int(p.size()),
                    mancheConsecutive(p), minimoMancheConsecutive(63, 8));
    }

    qint64 campionato = 0, ultimaGara = 0;
    if (giaFatto) {
        Database db;
        db.apri(percorso, password);
        ArchivioGara ag(db);
        campionato = ag.campionati().first().id;
        ultimaGara = ag.gare().last().id;
    } else {
        QElapsedTimer t;
        t.start();
        Database db;
        schema::apriDatabase(db, percorso);
        db.esegui(QStringLiteral("PRAGMA synchronous = OFF")); // building the file is not what is measured
        ArchivioGara ag(db);
        QString errore;
        campionato = ag.creaCampionato({0, QStringLiteral("Campionato invernale"), 3, {}}, &errore);
        const QDateTime quando(QDate(2026, 12, 5), QTime(21, 0));
        for (int e = 0; e < gare; ++e) {
            Gara g;
            g.nome = QStringLiteral("Prova %1").arg(e + 1);
            g.data = QDate(2026, 1, 1).addDays(7 * e);
            g.regole = {TipoSessione::GaraATempo, 120, 0};
            g.campionato = campionato;
            const qint64 id = ag.creaGara(g, &errore);
            ultimaGara = id;
            for (int p = 0; p < piloti; ++p)
                ag.iscrivi({0, id, QStringLiteral("Pilota %1").arg((p * 7 + e) % piloti + 1)}, &errore);
            if (!ag.generaProgramma(id, &errore)) std::fprintf(stderr, "%s\n", qPrintable(errore));
            Transazione tx(db);
            const QVector<Iscritto> elenco = ag.iscritti(id);
            for (const Manche &m : ag.manche(id)) {
                const double partenza = 1000.0 * m.id;
                ag.avviaManche(m.id, partenza, &errore);
                for (int c = 0; c < corsie; ++c) {
                    QString nome;
                    for (const Iscritto &i : elenco)
                        if (i.id == m.corsie[c]) nome = i.nome;
                    const int numero = nome.mid(7).toInt();
                    double istante = partenza;
                    Istruzione q = db.prepara("SELECT ifnull(max(giroN), 0) FROM Giri WHERE pilota = ?");
                    q.lega(1, nome);
                    int giroN = q.passo() ? int(q.intero(0)) : 0;
                    for (int k = 0; k < giriPerManche; ++k) {
                        const float tempo = 7.5f + float(numero % 13) * 0.05f + float((k * 37 + c * 11) % 17) * 0.01f;
                        istante += tempo;
                        GiroCompletato giro{nome, ++giroN, tempo, testoTempo(tempo), QStringLiteral("Pista Nord"), quando};
                        giro.istante = istante;
                        giro.manche = m.id;
                        archivioTempi::inserisciGiro(db, giro);
                    }
                }
                ag.chiudiManche(m.id, partenza + 130, &errore);
            }
            archivioTempi::ricostruisciTempoTotale(db);
            tx.conferma();
        }
        Istruzione n = db.prepara("SELECT count(*) FROM Giri");
        n.passo();
        std::printf("\nFile: %lld laps, %lld heats, %.1f MB, built in %.1f s\n", n.intero(0),
                    [&] { Istruzione h = db.prepara("SELECT count(*) FROM Manche"); h.passo(); return h.intero(0); }(),
                    QFileInfo(percorso).size() / 1e6, t.elapsed() / 1000.0);
        Istruzione piano = db.prepara("EXPLAIN QUERY PLAN SELECT g.manche, g.pilota, g.giroN FROM Manche m "
                                      "JOIN Giri g ON g.manche = m.id WHERE m.gara = ? ORDER BY g.manche, g.pilota, g.giroN, g.id");
        piano.lega(1, ultimaGara);
        while (piano.passo()) std::printf("  plan: %s\n", qPrintable(piano.testo(3)));
    }

    std::printf("\nFrom the file\n");
    RisultatoGara r;
    riga("an event's result, fresh connection (open + key)", [&] {
        Database db;
        db.apri(percorso, password);
        r = ArchivioGara(db).risultatoGara(ultimaGara);
    });
    Database caldo;
    caldo.apri(percorso, password);
    ArchivioGara ag(caldo);
    riga("an event's result, warm connection", [&] { r = ag.risultatoGara(ultimaGara); });
    ClassificaCampionato c;
    riga("championship table (20 events), fresh connection", [&] {
        Database db;
        db.apri(percorso, password);
        c = ArchivioGara(db).classificaCampionato(campionato);
    });
    riga("championship table (20 events), warm connection", [&] { c = ag.classificaCampionato(campionato); });
    riga("one heat's result, warm connection", [&] { ag.risultatoManche(ag.manche(ultimaGara).first().id); }, 21);
    // What race control does at every tick and lap of a heat on the lanes: the rules on what it holds.
    const DatiManche dati = ag.datiManche(ag.manche(ultimaGara).first().id);
    riga("a live heat ranked (8 drivers, 15 laps), x100", [&] {
        for (int k = 0; k < 100; ++k) valuta(dati, dati.partenza + 60);
    });
    QVector<VoceStampa> pagine;
    riga("race pages of an event, read and laid out", [&] {
        pagine = StampaGara::componi(caldo, StampaGara::Documento::Risultati, ultimaGara, 28.7);
    });
    QByteArray csv;
    riga("race export, read and CSV texts", [&] {
        const EsportazioneGara::Dati d = EsportazioneGara::leggi(caldo, ultimaGara);
        csv = EsportazioneGara::csvRisultato(d) + EsportazioneGara::csvManche(d) + EsportazioneGara::csvRegistro(d)
            + EsportazioneGara::csvCampionato(d);
    });
    std::printf("  race pages: %d pages, %d texts; race CSV: %lld kB\n", pagine.isEmpty() ? 0 : pagine.last().pagina + 1,
                int(pagine.size()), qint64(csv.size() / 1024));
    std::printf("\nEvent: %d heats run, winner %s with %.3f laps; championship: %d drivers, leader %s with %d points\n",
                r.mancheCorse, qPrintable(r.classifica.first().nome), r.classifica.first().totale, int(c.righe.size()),
                qPrintable(c.righe.first().nome), c.righe.first().totale);
    return 0;
}

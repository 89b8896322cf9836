#include "database/archiviotempi.h"

#include "database/database.h"

namespace archivioTempi {

int contaGiri(Database &db, const QString &pilota)
{
    // Same answer as Max(giroN), but read straight off the (pilota, giroN) index.
    Istruzione q = db.prepara("SELECT giroN FROM Giri WHERE pilota = ? AND giroN IS NOT NULL "
                              "ORDER BY giroN DESC LIMIT 1");
    q.lega(1, pilota);
    return q.passo() ? static_cast<int>(q.intero(0)) : 0;
}

void aggiornaGiroVeloce(Database &db, float tempo)
{
    {
        Istruzione u = db.prepara("UPDATE Tempofast SET Tempo = ?");
        u.lega(1, static_cast<double>(tempo));
        u.esegui();
    }
    // The table must hold its one row; a file that lost it gets it back.
    if (db.modificate() == 0) {
        Istruzione i = db.prepara("INSERT INTO Tempofast (Tempo) VALUES (?)");
        i.lega(1, static_cast<double>(tempo));
        i.esegui();
    }
}

void ricostruisciTempoTotale(Database &db)
{
    db.prepara("DELETE FROM TempoTotale").esegui();
    db.prepara("INSERT INTO TempoTotale (Pilota, Giri, TempoTotale) "
               "SELECT Pilota, Giri, testoTempo(TempoTotale) FROM Classifica")
        .esegui();
}

namespace {
// The seven fields of a lap's row, bound from the first parameter on, as they are stored.
void legaGiro(Istruzione &q, const GiroCompletato &giro)
{
    q.lega(1, giro.pilota)
        .lega(2, giro.giroN)
        .lega(3, static_cast<double>(giro.tempoGiro))
        .lega(4, giro.tempo)
        .lega(5, giro.quando.date().toString(QStringLiteral("dd/MM/yyyy")))
        .lega(6, giro.quando.time().toString(QStringLiteral("H:m:s")))
        .lega(7, giro.pista);
}
} // namespace

void inserisciGiro(Database &db, const GiroCompletato &giro)
{
    Istruzione ins = db.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista, "
                                "istante, stampato, manche) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    legaGiro(ins, giro);
    ins.lega(8, giro.istante).lega(9, giro.stampato ? 1 : 0);
    // A practice lap belongs to no heat.
    if (giro.manche > 0) ins.lega(10, giro.manche);
    else ins.legaNullo(10);
    ins.esegui();
}

bool contieneGiro(Database &db, const GiroCompletato &giro)
{
    Istruzione q = db.prepara("SELECT 1 FROM Giri WHERE pilota = ? AND giroN = ? AND tempoGiro = ? AND Tempo = ? "
                              "AND Data = ? AND ora = ? AND pista = ? LIMIT 1");
    legaGiro(q, giro);
    return q.passo();
}

} // namespace archivioTempi

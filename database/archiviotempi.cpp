#include "database/archiviotempi.h"

#include "database/database.h"
#include "comune/messaggi.h"

ArchivioTempi::ArchivioTempi(Database &db, Messaggi &messaggi) : db_(db), messaggi_(messaggi) {}

int ArchivioTempi::contaGiriOEccezione(const QString &pilota)
{
    // Same answer as Max(giroN), but read straight off the (pilota, giroN) index.
    Istruzione q = db_.prepara("SELECT giroN FROM Giri WHERE pilota = ? AND giroN IS NOT NULL "
                               "ORDER BY giroN DESC LIMIT 1");
    q.lega(1, pilota);
    return q.passo() ? static_cast<int>(q.intero(0)) : 0;
}

int ArchivioTempi::contaGiri(const QString &pilota)
{
    try {
        return contaGiriOEccezione(pilota);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
        return 0;
    }
}

void ArchivioTempi::aggiornaGiroVeloce(Database &db, float tempo)
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

void ArchivioTempi::scriviGiroVeloceOEccezione(float tempo)
{
    Transazione t(db_);
    aggiornaGiroVeloce(db_, tempo);
    t.conferma();
}

void ArchivioTempi::scriviGiroVeloce(float tempo)
{
    try {
        scriviGiroVeloceOEccezione(tempo);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
    }
}

void ArchivioTempi::ricostruisciTempoTotale(Database &db)
{
    db.prepara("DELETE FROM TempoTotale").esegui();
    db.prepara("INSERT INTO TempoTotale (Pilota, Giri, TempoTotale) "
               "SELECT Pilota, Giri, testoTempo(TempoTotale) FROM Classifica")
        .esegui();
}

void ArchivioTempi::inserisciGiro(Database &db, const GiroCompletato &giro)
{
    Istruzione ins = db.prepara("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo, Data, ora, pista, "
                                "istante, stampato, manche) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    ins.lega(1, giro.pilota)
        .lega(2, giro.giroN)
        .lega(3, static_cast<double>(giro.tempoGiro))
        .lega(4, giro.tempo)
        .lega(5, giro.quando.date().toString(QStringLiteral("dd/MM/yyyy")))
        .lega(6, giro.quando.time().toString(QStringLiteral("H:m:s")))
        .lega(7, giro.pista)
        .lega(8, giro.istante)
        .lega(9, giro.stampato ? 1 : 0);
    // A practice lap belongs to no heat.
    if (giro.manche > 0) ins.lega(10, giro.manche);
    else ins.legaNullo(10);
    ins.esegui();
}

void ArchivioTempi::memorizzaOEccezione(const GiroCompletato &giro)
{
    // The lap and the standings it changes are stored together or not at all.
    Transazione t(db_);
    inserisciGiro(db_, giro);
    ricostruisciTempoTotale(db_);
    t.conferma();
}

void ArchivioTempi::memorizza(const GiroCompletato &giro)
{
    try {
        memorizzaOEccezione(giro);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
    }
}

#include "database/cancellatempi.h"

#include "database/archivioasincrono.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "database/schema.h"
#include "comune/messaggi.h"
#include "timing/archivio.h"
#include "timing/sessione.h"

QString CancellaTempi::domanda()
{
    return QStringLiteral("Attenzione: questo comando\ncancellerà tutti i tempi.\nVuoi continuare?");
}

CancellaTempi::CancellaTempi(Database &db, QString percorsoDatabase, Messaggi &messaggi,
                             Sessione &sessione, CopieSicurezza &copie, ArchivioAsincrono *archivio)
    : db_(db), percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), sessione_(sessione),
      copie_(copie), archivio_(archivio)
{
}

bool CancellaTempi::copiaPrimaDelReset(CopieSicurezza &copie, Messaggi &messaggi)
{
    return copie.copiaOAvvisa(messaggi, QStringLiteral("Il reset non è stato fatto: i tempi attuali "
                                                       "non sono stati modificati."));
}

void CancellaTempi::svuota(Database &db, bool conGiri)
{
    Transazione t(db);
    svuotaTabelle(db, conGiri);
    t.conferma();
}

void CancellaTempi::svuotaTabelle(Database &db, bool conGiri)
{
    if (conGiri) {
        db.esegui(QStringLiteral("DELETE FROM Giri"));
        db.esegui(QStringLiteral("DELETE FROM TempoTotale"));
    }
    // Exactly one row, whatever the file held: the fastest-lap update edits the row it finds.
    db.esegui(QStringLiteral("DELETE FROM Tempofast"));
    db.esegui(QStringLiteral("INSERT INTO Tempofast (Tempo) VALUES (0)"));
}

bool CancellaTempi::cancellaTempi(const std::function<bool()> &classificaConGiri)
{
    try {
        // The writer has a connection of its own: nothing here waits for the file.
        if (!archivio_ && !db_.aperto()) schema::apriDatabase(db_, percorso_);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
        return false;
    }
    const auto risposta = messaggi_.mostra(domanda(), Messaggi::Pulsanti::OkAnnulla,
                                           Messaggi::Icona::Esclamazione,
                                           QString::fromUtf8(titolo), 1);
    if (risposta != Messaggi::Risposta::Ok) return false;
    Lavoro lavoro = [](Database &db, bool conGiri) { svuotaTabelle(db, conGiri); };
    if (scelta_) {
        // What else goes with the laps (a race's event) is asked before anything is cleared.
        const std::optional<Lavoro> scelto = scelta_();
        if (!scelto) return false;
        lavoro = *scelto;
    }
    if (archivio_) {
        // At this instant, in the writer's order: every lap marked until now (the
        // question's time included) is committed, backed up and cleared; the lanes
        // count from 0, so the laps marked from now on are the first of the new file.
        sessione_.azzeraTempi();
        archivio_->azzera([lavoro](Database &db) { lavoro(db, true); });
        return true;
    }
    // Nothing cleared, lanes included, without a copy to go back to.
    if (!copiaPrimaDelReset(copie_, messaggi_)) return false;
    const bool conGiri = classificaConGiri && classificaConGiri();
    try {
        Transazione t(db_);
        lavoro(db_, conGiri);
        t.conferma();
    } catch (const ErroreDatabase &e) {
        // Nothing is deleted on a failure, so the lanes keep their counters too.
        e.mostra(messaggi_);
        return false;
    }
    sessione_.azzeraTempi();
    return true;
}

void CancellaTempi::menuCancDatabase(Tabelle &tabelle, const std::function<bool()> &classificaConGiri)
{
    cancellaTempi(classificaConGiri);
    tabelle.aggiornaTabella();
}

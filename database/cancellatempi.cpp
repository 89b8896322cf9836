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
        if (!db_.aperto()) schema::apriDatabase(db_, percorso_);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
        return false;
    }
    const auto risposta = messaggi_.mostra(domanda(), Messaggi::Pulsanti::OkAnnulla,
                                           Messaggi::Icona::Esclamazione,
                                           QString::fromUtf8(titolo), 1);
    if (risposta != Messaggi::Risposta::Ok) return false;
    Lavoro lavoro = [](Database &db, bool conGiri) { svuota(db, conGiri); };
    if (scelta_) {
        const std::optional<Lavoro> scelto = scelta_();
        if (!scelto) return false;
        lavoro = *scelto;
    }
    // Nothing cleared, lanes included, without a copy to go back to.
    if (archivio_) archivio_->svuota();
    if (!copiaPrimaDelReset(copie_, messaggi_)) return false;
    const bool conGiri = classificaConGiri && classificaConGiri();
    // Nothing is deleted on a failure, so the lanes keep their counters too.
    if (archivio_) {
        QString errore;
        if (!archivio_->esegui([conGiri, lavoro](Database &db) { lavoro(db, conGiri); }, &errore)) {
            messaggi_.mostra(QStringLiteral("Il reset non è stato fatto: ") + errore, Messaggi::Pulsanti::Ok,
                             Messaggi::Icona::Esclamazione);
            return false;
        }
    } else {
        try {
            lavoro(db_, conGiri);
        } catch (const ErroreDatabase &e) {
            e.mostra(messaggi_);
            return false;
        }
    }
    sessione_.azzeraTempi();
    return true;
}

void CancellaTempi::menuCancDatabase(Tabelle &tabelle, const std::function<bool()> &classificaConGiri)
{
    cancellaTempi(classificaConGiri);
    tabelle.aggiornaTabella();
}

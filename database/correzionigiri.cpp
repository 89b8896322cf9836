#include "database/correzionigiri.h"

#include "database/archiviotempi.h"
#include "database/database.h"
#include "timing/tempotesto.h"

#include <QDateTime>

namespace correzioni {

namespace {
bool esisteNumero(Database &db, const QString &pilota, int giroN)
{
    Istruzione q = db.prepara("SELECT 1 FROM Giri WHERE pilota = ? AND giroN = ? LIMIT 1");
    q.lega(1, pilota).lega(2, giroN);
    return q.passo();
}
} // namespace

std::optional<CorrezioneGiri> correggi(Database &db, const GiroScelto &giro, Tipo tipo, QString *motivo)
{
    Transazione t(db);
    CorrezioneGiri c;
    QVariant manche; // the race heat of the lap, if any
    c.pilota = giro.pilota;
    {
        Istruzione q = db.prepara("SELECT tempoGiro, manche FROM Giri WHERE id = ? AND pilota = ? AND giroN = ?");
        q.lega(1, giro.id).lega(2, giro.pilota).lega(3, giro.giroN);
        if (!q.passo()) {
            if (motivo)
                *motivo = QStringLiteral("Il giro %1 di %2 non è più quello mostrato: premere \"Aggiorna\" e riprovare.")
                              .arg(giro.giroN)
                              .arg(giro.pilota);
            return std::nullopt;
        }
        c.tempiTolti.append(static_cast<float>(q.reale(0)));
        manche = q.valore(1);
    }
    int tolto = giro.giroN;
    {
        Istruzione d = db.prepara("DELETE FROM Giri WHERE id = ?");
        d.lega(1, giro.id);
        d.esegui();
    }
    if (tipo == Tipo::Unisci) {
        // The next lap by number (storing order among equal numbers) takes the
        // chosen one's number and the sum of both times; its row keeps when the lap ended.
        Istruzione q = db.prepara("SELECT id, giroN, tempoGiro FROM Giri WHERE pilota = ? "
                                  "AND (giroN > ? OR (giroN = ? AND id > ?)) ORDER BY giroN, id LIMIT 1");
        q.lega(1, giro.pilota).lega(2, giro.giroN).lega(3, giro.giroN).lega(4, giro.id);
        if (!q.passo()) {
            if (motivo)
                *motivo = QStringLiteral("Il giro %1 di %2 è l'ultimo: non c'è un giro successivo a cui unirlo.")
                              .arg(giro.giroN)
                              .arg(giro.pilota);
            return std::nullopt;
        }
        const qint64 successivo = q.intero(0);
        tolto = static_cast<int>(q.intero(1));
        const float secondo = static_cast<float>(q.reale(2));
        c.tempiTolti.append(secondo);
        // Single precision, as a lap of that length timed on the track.
        const float somma = c.tempiTolti.first() + secondo;
        Istruzione u = db.prepara("UPDATE Giri SET giroN = ?, tempoGiro = ?, Tempo = ? WHERE id = ?");
        u.lega(1, giro.giroN).lega(2, static_cast<double>(somma)).lega(3, testoTempo(somma)).lega(4, successivo);
        u.esegui();
    }
    // Close the gap the lap left; a number still held by another lap leaves none.
    if (!esisteNumero(db, giro.pilota, tolto)) {
        Istruzione r = db.prepara("UPDATE Giri SET giroN = giroN - 1 WHERE pilota = ? AND giroN > ?");
        r.lega(1, giro.pilota).lega(2, tolto);
        r.esegui();
        c.giroTolto = tolto;
    }
    {
        Istruzione q = db.prepara("SELECT min(tempoGiro) FROM Giri WHERE tempoGiro > 0");
        if (q.passo() && !q.nullo(0)) c.giroPiuVeloce = static_cast<float>(q.reale(0));
    }
    {
        Istruzione q = db.prepara("SELECT Tempo FROM Tempofast LIMIT 1");
        const float veloce = q.passo() ? static_cast<float>(q.reale(0)) : 0.0f;
        if (veloce != 0 && c.tempiTolti.contains(veloce)) ArchivioTempi::aggiornaGiroVeloce(db, c.giroPiuVeloce);
    }
    ArchivioTempi::ricostruisciTempoTotale(db);
    {
        // Race control's trail keeps each correction beside the penalties.
        const QString tempo = testoTempo(c.tempiTolti.first());
        const QString cosa = tipo == Tipo::Elimina
            ? QStringLiteral("Giro %1 eliminato (%2)").arg(giro.giroN).arg(tempo)
            : QStringLiteral("Giro %1 (%2) unito al giro successivo").arg(giro.giroN).arg(tempo);
        Istruzione r = db.prepara("INSERT INTO RegistroGara (quando, gara, manche, pilota, tipo, motivo) "
                                  "VALUES (?, (SELECT gara FROM Manche WHERE id = ?), ?, ?, ?, ?)");
        r.lega(1, QDateTime::currentDateTime().toString(Qt::ISODate))
            .lega(2, manche)
            .lega(3, manche)
            .lega(4, giro.pilota)
            .lega(5, tipo == Tipo::Elimina ? QStringLiteral("eliminazione") : QStringLiteral("unione"))
            .lega(6, cosa);
        r.esegui();
    }
    {
        Istruzione q = db.prepara("SELECT giroN, tempoGiro FROM Giri WHERE pilota = ? AND giroN IS NOT NULL "
                                  "ORDER BY giroN, id");
        q.lega(1, giro.pilota);
        while (q.passo()) c.giri.insert(static_cast<int>(q.intero(0)), static_cast<float>(q.reale(1)));
    }
    t.conferma();
    return c;
}

} // namespace correzioni

#include "results/stampa.h"

#include "database/database.h"
#include "comune/dialogofile.h"
#include "results/superficiestampa.h"
#include "comune/identita.h"
#include "comune/indisparte.h"
#include "comune/messaggi.h"

namespace {

std::optional<QString> testo(const Istruzione &q, int c)
{
    if (q.nullo(c)) return std::nullopt;
    return q.testo(c);
}

} // namespace

QString Stampa::domandaPdf()
{
    return QStringLiteral("Nessuna stampante disponibile.\nVuoi salvare la stampa in un file PDF?");
}

Stampa::Stampa(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo, Stampanti &stampanti)
    : percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), dialogo_(dialogo), stampanti_(stampanti)
{
}

DatiStampa Stampa::leggiDati(Database &db)
{
    DatiStampa d;
    {
        Istruzione q = db.prepara("SELECT Pilota, Giro, Tempo FROM Sunto2 LIMIT 1");
        if (q.passo()) d.migliore = GiroMigliore{testo(q, 0), q.interoONullo(1), testo(q, 2)};
    }
    {
        Istruzione q = db.prepara("SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid");
        while (q.passo()) d.classifica.append({testo(q, 0), q.interoONullo(1), testo(q, 2)});
    }
    {
        Istruzione q = db.prepara("SELECT Pilota, Tempo FROM Sunto");
        while (q.passo()) d.sunto.append({testo(q, 0), testo(q, 1)});
    }
    return d;
}

Stampa::Esito Stampa::stampa()
{
    DatiStampa dati;
    std::optional<ErroreDatabase> fallito;
    eseguiInDisparte([&] {
        try {
            Database db;
            db.apri(percorso_, QString::fromUtf8(identita::password), false);
            dati = leggiDati(db);
        } catch (const ErroreDatabase &e) {
            fallito = e;
        }
    });
    if (fallito) {
        fallito->mostra(messaggi_);
        return Esito::Errore;
    }
    std::unique_ptr<SuperficieStampa> superficie;
    const bool conStampante = stampanti_.disponibile();
    if (conStampante) {
        superficie = stampanti_.predefinita();
    } else {
        if (messaggi_.mostra(domandaPdf(), Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda)
            != Messaggi::Risposta::Si)
            return Esito::Annullato;
        const QString file = nomeDaScrivere(dialogo_, messaggi_, QString::fromUtf8(titoloPdf),
                                            QString::fromUtf8(filtroPdf), QStringLiteral(".pdf"));
        if (file.isEmpty()) return Esito::Annullato;
        superficie = stampanti_.pdf(file);
    }
    QString errore;
    bool fatto = false;
    eseguiInDisparte([&] {
        // Laid out for the page it goes on.
        fatto = superficie->stampa(LayoutStampa::componi(dati, superficie->altezzaPagina()), &errore);
    });
    if (fatto) return conStampante ? Esito::Stampato : Esito::SalvatoPdf;
    messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    return Esito::Errore;
}

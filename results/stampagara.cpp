#include "results/stampagara.h"

#include "comune/dialogofile.h"
#include "comune/identita.h"
#include "comune/indisparte.h"
#include "comune/messaggi.h"
#include "database/database.h"
#include "results/superficiestampa.h"

StampaGara::StampaGara(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo, Stampanti &stampanti)
    : percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), dialogo_(dialogo), stampanti_(stampanti)
{
}

QVector<VoceStampa> StampaGara::componi(Database &db, Documento documento, qint64 id, double altezzaPagina)
{
    if (documento == Documento::Campionato) {
        const DatiStampaCampionato d = DatiStampaCampionato::leggi(db, id);
        return d.campionato.id > 0 ? LayoutGara::campionato(d, altezzaPagina) : QVector<VoceStampa>{};
    }
    const DatiStampaGara d = DatiStampaGara::leggi(db, id);
    if (d.gara.id == 0) return {};
    return documento == Documento::Programma ? LayoutGara::programma(d, altezzaPagina)
                                             : LayoutGara::risultati(d, altezzaPagina);
}

Stampa::Esito StampaGara::stampa(Documento documento, qint64 id)
{
    std::unique_ptr<SuperficieStampa> superficie;
    const bool conStampante = stampanti_.disponibile();
    if (conStampante) {
        superficie = stampanti_.predefinita();
    } else {
        if (messaggi_.mostra(Stampa::domandaPdf(), Messaggi::Pulsanti::SiNo, Messaggi::Icona::Domanda)
            != Messaggi::Risposta::Si)
            return Stampa::Esito::Annullato;
        const QString file = nomeDaScrivere(dialogo_, messaggi_, QString::fromUtf8(Stampa::titoloPdf),
                                            QString::fromUtf8(Stampa::filtroPdf), QStringLiteral(".pdf"));
        if (file.isEmpty()) return Stampa::Esito::Annullato;
        superficie = stampanti_.pdf(file);
    }
    std::optional<ErroreDatabase> fallito;
    QString errore;
    bool fatto = false, vuoto = false;
    eseguiInDisparte([&] {
        try {
            Database db;
            db.apri(percorso_, QString::fromUtf8(identita::password), false);
            const QVector<VoceStampa> voci = componi(db, documento, id, superficie->altezzaPagina());
            vuoto = voci.isEmpty();
            if (!vuoto) fatto = superficie->stampa(voci, &errore);
        } catch (const ErroreDatabase &e) {
            fallito = e;
        }
    });
    if (fallito) {
        fallito->mostra(messaggi_);
        return Stampa::Esito::Errore;
    }
    if (vuoto) errore = documento == Documento::Campionato ? QStringLiteral("Il campionato non c'è più nel database.")
                                                           : QStringLiteral("La gara non c'è più nel database.");
    if (fatto) return conStampante ? Stampa::Esito::Stampato : Stampa::Esito::SalvatoPdf;
    messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    return Stampa::Esito::Errore;
}

#include "gara/gestionegare.h"

#include "database/database.h"
#include "gara/lavorigara.h"

#include <memory>

using namespace gara;

GestioneGare::GestioneGare(LavoriGara &lavori, QObject *parent) : QObject(parent), lavori_(lavori)
{
}

void GestioneGare::leggi(ArchivioGara &ag, qint64 gara, qint64 campionato, Stato &s)
{
    s.gare = ag.gare();
    s.campionati = ag.campionati();
    s.gara = gara > 0 ? ag.gara(gara) : std::nullopt;
    if (s.gara) {
        s.iscritti = ag.iscritti(gara);
        s.manche = ag.manche(gara);
        s.programma = ag.programma(gara);
        s.risultato = ag.risultatoGara(gara);
        for (const Manche &m : std::as_const(s.manche))
            if (m.stato() != Manche::Stato::DaCorrere) s.risultati.insert(m.id, ag.risultatoManche(m.id));
        s.registro = ag.registro(gara);
    }
    s.campionato = campionato > 0 ? ag.campionato(campionato) : std::nullopt;
    if (s.campionato) s.classifica = ag.classificaCampionato(campionato);
}

void GestioneGare::aggiorna(std::function<void()> poi)
{
    cambia(nullptr, [poi = std::move(poi)](bool, const QString &, const QStringList &) {
        if (poi) poi();
    });
}

void GestioneGare::scegliGara(qint64 id)
{
    gara_ = id;
    aggiorna();
}

void GestioneGare::scegliCampionato(qint64 id)
{
    campionato_ = id;
    aggiorna();
}

void GestioneGare::cambia(Lavoro lavoro, Esito esito, bool nuovaGara, bool nuovoCampionato)
{
    struct Risposta {
        Stato stato;
        QString errore;
        QStringList avvisi;
        qint64 id = 0;
    };
    auto r = std::make_shared<Risposta>();
    const qint64 gara = gara_, campionato = campionato_;
    lavori_.esegui(this, [r, lavoro, gara, campionato, nuovaGara, nuovoCampionato](Database &db) {
        ArchivioGara ag(db);
        if (lavoro) r->id = lavoro(ag, &r->errore, &r->avvisi);
        // A refused change changed nothing: the reading shows the file as it was.
        const bool nuovo = r->errore.isEmpty() && r->id > 0;
        leggi(ag, nuovaGara && nuovo ? r->id : gara, nuovoCampionato && nuovo ? r->id : campionato, r->stato);
    }, [this, r, esito, nuovaGara, nuovoCampionato](bool fatto, const QString &e) {
        if (fatto) {
            stato_ = r->stato;
            letto_ = true;
            if (r->errore.isEmpty() && r->id > 0) {
                if (nuovaGara) gara_ = r->id;
                if (nuovoCampionato) campionato_ = r->id;
            }
            emit cambiata();
        }
        const QString perche = fatto ? r->errore : e;
        if (esito) esito(perche.isEmpty(), perche, r->avvisi);
    });
}

void GestioneGare::salvaGara(const Gara &g, Esito esito)
{
    cambia([g](ArchivioGara &ag, QString *e, QStringList *) -> qint64 {
        if (g.id == 0) return ag.creaGara(g, e);
        ag.modificaGara(g, e);
        return 0;
    }, std::move(esito), g.id == 0);
}

void GestioneGare::iscrivi(const Iscritto &i, Esito esito)
{
    cambia([i, gara = gara_](ArchivioGara &ag, QString *e, QStringList *) {
        Iscritto nuovo = i;
        nuovo.gara = gara;
        ag.iscrivi(nuovo, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::modificaIscritto(const Iscritto &i, Esito esito)
{
    cambia([i, gara = gara_](ArchivioGara &ag, QString *e, QStringList *) {
        Iscritto m = i;
        m.gara = gara;
        ag.modificaIscritto(m, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::ritira(qint64 iscritto, Esito esito)
{
    cambia([iscritto](ArchivioGara &ag, QString *e, QStringList *) {
        ag.ritira(iscritto, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::generaProgramma(Esito esito)
{
    cambia([gara = gara_](ArchivioGara &ag, QString *e, QStringList *) {
        ag.generaProgramma(gara, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::salvaProgramma(const Programma &p, Esito esito)
{
    cambia([p, gara = gara_](ArchivioGara &ag, QString *e, QStringList *avvisi) {
        ag.salvaProgramma(gara, p, e, avvisi);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::impostaRegoleManche(qint64 manche, const Regole &regole, Esito esito)
{
    cambia([manche, regole](ArchivioGara &ag, QString *e, QStringList *) {
        ag.impostaRegoleManche(manche, regole, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::sanziona(const Sanzione &s, const QDateTime &quando, Esito esito)
{
    cambia([s, quando](ArchivioGara &ag, QString *e, QStringList *) {
        ag.sanziona(s, quando, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::annullaSanzione(qint64 voce, const QString &motivo, const QDateTime &quando, Esito esito)
{
    cambia([voce, motivo, quando](ArchivioGara &ag, QString *e, QStringList *) {
        ag.annullaSanzione(voce, motivo, quando, e);
        return qint64(0);
    }, std::move(esito));
}

void GestioneGare::salvaCampionato(const Campionato &c, Esito esito)
{
    cambia([c](ArchivioGara &ag, QString *e, QStringList *) -> qint64 {
        if (c.id == 0) return ag.creaCampionato(c, e);
        ag.modificaCampionato(c, e);
        return 0;
    }, std::move(esito), false, c.id == 0);
}

Programma GestioneGare::daCorrere() const
{
    Programma p;
    for (int k = 0; k < stato_.manche.size() && k < stato_.programma.size(); ++k)
        if (stato_.manche[k].stato() == Manche::Stato::DaCorrere) p.append(stato_.programma[k]);
    return p;
}

#pragma once
#include "gara/archiviogara.h"
#include "results/layoutstampa.h"

#include <QHash>

class Database;

// What the race pages of the report are made of, read from the file at once.
struct DatiStampaGara {
    gara::Gara gara;
    QVector<gara::Iscritto> iscritti;
    QVector<gara::Manche> manche;                   // the schedule, in running order
    QHash<qint64, gara::RisultatoManche> risultati; // the heats that started
    gara::RisultatoGara risultato;
    QVector<gara::VoceRegistro> registro;
    // Throws ErroreDatabase; an event that is gone gives an empty `gara.id`.
    static DatiStampaGara leggi(Database &db, qint64 gara);
};

struct DatiStampaCampionato {
    gara::Campionato campionato;
    gara::ClassificaCampionato classifica;
    static DatiStampaCampionato leggi(Database &db, qint64 campionato);
};

// The race pages as texts placed in centimetres, for the report's surfaces
// (SuperficieStampa): the title and footer of the session report, a page
// broken before a line would pass the page's foot.
class LayoutGara {
public:
    // Heat sheets, before the start: each heat with its drivers by lane.
    static QVector<VoceStampa> programma(const DatiStampaGara &dati, double altezzaPagina);
    // The event's result, each heat's result with its penalties and notes, and the trail.
    static QVector<VoceStampa> risultati(const DatiStampaGara &dati, double altezzaPagina);
    // The championship table.
    static QVector<VoceStampa> campionato(const DatiStampaCampionato &dati, double altezzaPagina);
};

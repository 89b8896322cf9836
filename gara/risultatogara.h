#pragma once
#include "gara/regole.h"

#include <QHash>
#include <QString>
#include <QVector>

// An event's result: what each driver scored in the race heats (laps with
// their penalties plus the fraction of the lap he had not finished, from his
// best lap), summed over the heats, with the penalties given on the event as a
// whole. Qualifying and practice heats do not count towards it.
namespace gara {

struct IscrittoGara {
    qint64 id = 0;
    QString nome;
};

// One driver's outcome in one heat, as the rules ranked it.
struct EsitoInManche {
    qint64 manche = 0;
    int numero = 0;        // the heat's place in the schedule, from 1
    TipoSessione tipo = TipoSessione::GaraATempo;
    EsitoPilota esito;
};

struct RisultatoPilotaGara {
    qint64 iscritto = 0;
    QString nome;
    int giri = 0;            // laps with their penalties, over the heats
    double frazioni = 0;     // fractions of unfinished laps, over the heats
    double totale = 0;       // the event result, in laps
    float migliorGiro = 0;   // best lap of the race heats; 0 when none
    int manche = 0;          // race heats he raced in
    Sanzioni sanzioniGara;   // penalties on the event as a whole
    bool squalificato = false;
    int posizione = 0;
    bool exAequo = false;
    QVector<EsitoInManche> dettaglio;
};

struct RisultatoGara {
    int mancheCorse = 0;     // race heats started
    int mancheProgrammate = 0;
    QVector<RisultatoPilotaGara> classifica; // most laps first, ties by the best lap
};

// `esiti`: for each entry id, his outcomes in the heats; `sanzioniGara`: by entry id.
RisultatoGara calcolaRisultatoGara(const QVector<IscrittoGara> &iscritti,
                                   const QHash<qint64, QVector<EsitoInManche>> &esiti,
                                   const QHash<qint64, Sanzioni> &sanzioniGara);

} // namespace gara

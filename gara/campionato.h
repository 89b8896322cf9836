#pragma once
#include <QDate>
#include <QString>
#include <QVector>

// A championship's standings: points per place in each event of the season
// (a table the race director edits; 10-8-6-5-4-3-2-1 unless set), the worst
// results dropped (a number the race director sets; an event missed counts as
// a result of 0 and is the first to go), then ranked by points. Equal points:
// more wins first, then more second places, and so on down the places (with
// the dropped results too); still equal, the better place in the latest event
// both drivers were ranked in; still equal, the same position.
namespace gara {

struct TabellaPunti {
    QVector<int> punti{10, 8, 6, 5, 4, 3, 2, 1}; // first place first; places past the table score 0
    int perPosizione(int posizione) const;
    QString errore() const; // empty when usable, else why not, in Italian
};

// A driver's place in one event; drivers are the same across events when their
// name keys are (chiaveNomePilota).
struct PiazzamentoGara {
    QString nome;
    int posizione = 0;
    bool squalificato = false; // raced, scores nothing
};

struct GaraDelCampionato {
    qint64 id = 0;
    QString nome;
    QDate data;
    QVector<PiazzamentoGara> classifica;
};

struct RigaCampionato {
    QString nome;               // as written in the latest event he raced
    QVector<int> punti;         // per event in season order; -1 where he did not race
    QVector<bool> scartata;     // per event: dropped
    int totale = 0;             // after the dropped results
    int lordo = 0;              // before
    QVector<int> piazzamenti;   // times 1st, 2nd, ... (index 0 = wins)
    int posizione = 0;
    bool exAequo = false;
    // What separated him from the driver before when the points were equal, in Italian.
    QString spareggio;
};

struct ClassificaCampionato {
    QVector<GaraDelCampionato> gare; // in season order
    int scarti = 0;
    QVector<RigaCampionato> righe;   // in standings order
};

// `gare` in season order (by date, then as given).
ClassificaCampionato calcolaCampionato(QVector<GaraDelCampionato> gare, const TabellaPunti &punti, int scarti);

} // namespace gara

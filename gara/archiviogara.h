#pragma once
#include "gara/campionato.h"
#include "gara/partenza.h"
#include "gara/programma.h"
#include "gara/regole.h"
#include "gara/risultatogara.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

class Database;

namespace gara {

// An event ("Gara"): its name and date, the rules of its heats, the lanes in use.
struct Gara {
    qint64 id = 0;
    QString nome;
    QDate data;
    QString pista;
    qint64 campionato = 0;          // 0: in no championship
    Regole regole;                  // of the heats the schedule makes
    quint8 corsie = 0xFF;           // lanes in use, bit k for lane k; a broken lane is switched off
    PenalitaFalsaPartenza falsaPartenza = PenalitaFalsaPartenza::Avviso;
    QString errore() const;         // empty when it can be stored, else why not, in Italian
};

struct Iscritto {
    qint64 id = 0;
    qint64 gara = 0;
    QString nome;                   // as the laps are stored under it
    QString vettura, club;          // free text, may be empty
    int ordine = 0;                 // place in the entry list
};

// A heat of the schedule.
struct Manche {
    enum class Stato { DaCorrere, InCorso, Conclusa };
    qint64 id = 0;
    qint64 gara = 0;
    int numero = 0;                 // order of running, from 1
    int turno = 0;
    Regole regole;
    double partenza = std::numeric_limits<double>::quiet_NaN(); // lights out
    double fine = std::numeric_limits<double>::quiet_NaN();     // closed
    QVector<qint64> corsie = QVector<qint64>(corsieMassime, 0); // the entry on each lane, 0 when free
    Stato stato() const;
};

enum class TipoVoce { Giri, Secondi, Squalifica, Avviso, Annullamento, Eliminazione, Unione, Cancellazione };
QString nomeVoce(TipoVoce tipo); // the trail's column "Cosa"

// A penalty as race control gives it: on one heat, or on the event as a whole (manche 0).
struct Sanzione {
    qint64 gara = 0;
    qint64 manche = 0;
    QString pilota;                 // an entry's name (the name rules apply)
    TipoVoce tipo = TipoVoce::Giri; // Giri, Secondi, Squalifica or Avviso
    int giri = 0;                   // + or -
    double secondi = 0;             // + or -
    QString motivo;
};

// One line of race control's trail: penalties, their withdrawal, lap corrections, resets.
struct VoceRegistro {
    qint64 id = 0;
    QDateTime quando;
    qint64 gara = 0, manche = 0;
    QString pilota;
    TipoVoce tipo = TipoVoce::Avviso;
    int giri = 0;
    double secondi = 0;
    QString motivo;
    qint64 annulla = 0;             // an Annullamento: the line it withdraws
    bool annullata = false;         // withdrawn by a later line
};

struct Campionato {
    qint64 id = 0;
    QString nome;
    int scarti = 0;                 // worst results dropped
    TabellaPunti punti;
    QString errore() const;
};

// What Canc.Database clears besides today's laps, standings and fastest lap.
enum class Cancellazione {
    SoloGiri,  // every heat back to "to be run" (its start, track calls, false starts and heat penalties go); entries, schedules and championships stay
    AncheGara  // the same, and the event itself with its entries, schedule and trail
};

// The race day's data in the timing database. Plain calls on a connection:
// the window hands them to the lap writer (ArchivioAsincrono::eseguiPoi), so
// they run in order with the laps and never on the window's thread. Bad input
// is refused with an Italian message and changes nothing; engine errors throw
// ErroreDatabase, changing nothing. Drivers in a schedule are positions in the
// entry list as `iscritti` returns it.
class ArchivioGara {
public:
    explicit ArchivioGara(Database &db);

    // Events.
    qint64 creaGara(const Gara &gara, QString *errore);
    bool modificaGara(const Gara &gara, QString *errore);
    std::optional<Gara> gara(qint64 id);
    QVector<Gara> gare();           // by date

    // The entry list; two entries whose names are the same driver by the name rules are refused.
    qint64 iscrivi(const Iscritto &iscritto, QString *errore);
    bool modificaIscritto(const Iscritto &iscritto, QString *errore);
    bool ritira(qint64 iscritto, QString *errore); // not once he raced a heat
    QVector<Iscritto> iscritti(qint64 gara);       // in entry order

    // The schedule. `generaProgramma` replaces the heats not yet run with a new
    // schedule of the entries on the lanes in use; `salvaProgramma` stores one
    // reordered or changed by hand once it passes verificaProgramma (its
    // warnings come back in `avvisi`). Neither touches a heat already started.
    bool generaProgramma(qint64 gara, QString *errore);
    bool salvaProgramma(qint64 gara, const Programma &programma, QString *errore, QStringList *avvisi = nullptr);
    Programma programma(qint64 gara);              // as stored, drivers as entry positions
    QVector<Manche> manche(qint64 gara);           // in running order
    std::optional<Manche> mancheDaId(qint64 id);
    // The next heat to run ("next up"): the first not started.
    std::optional<Manche> prossimaManche(qint64 gara);
    bool impostaRegoleManche(qint64 manche, const Regole &regole, QString *errore);

    // Running a heat. The session's laps carry the heat (Sessione::impostaManche).
    bool avviaManche(qint64 manche, double partenza, QString *errore);
    bool chiudiManche(qint64 manche, double fine, QString *errore);
    // The start is done again after lights out (a false start under "Ripartenza"
    // told by a stamp that came late): the heat goes back to be run, without its
    // track calls; the laps it took stay stored, no longer counted in it.
    bool annullaPartenza(qint64 manche, QString *errore);
    void registraNeutralizzazione(qint64 manche, const Neutralizzazione &chiamata);
    // A false start: noted on the heat, with the penalty set for the event in the trail. Returns the trail line.
    qint64 registraFalsaPartenza(qint64 manche, int corsia, double istante, PenalitaFalsaPartenza penalita,
                                 const QDateTime &quando, QString *errore);

    // Results, always computed from the stored laps.
    DatiManche datiManche(qint64 manche);
    RisultatoManche risultatoManche(qint64 manche, double ora = infinito);
    RisultatoGara risultatoGara(qint64 gara);

    // Penalties and the trail. A penalty that would leave a driver with fewer
    // than 0 laps in a closed heat or in the event is refused.
    qint64 sanziona(const Sanzione &sanzione, const QDateTime &quando, QString *errore);
    bool annullaSanzione(qint64 voce, const QString &motivo, const QDateTime &quando, QString *errore);
    QVector<VoceRegistro> registro(qint64 gara); // oldest first; lap corrections of its heats included

    // Championships.
    qint64 creaCampionato(const Campionato &campionato, QString *errore);
    bool modificaCampionato(const Campionato &campionato, QString *errore);
    std::optional<Campionato> campionato(qint64 id);
    QVector<Campionato> campionati();
    // Its events that have raced a heat, each ranked from its laps.
    ClassificaCampionato classificaCampionato(qint64 campionato);

    // Canc.Database: today's reset (laps, standings, fastest lap when
    // `conGiri`, see CancellaTempi) with the race data `ambito` says, in one
    // transaction, noted in the trail. `gara` is the event in use (0: none).
    static void cancella(Database &db, Cancellazione ambito, qint64 gara, bool conGiri, const QDateTime &quando);
    // The same inside the caller's transaction (the lap writer's reset).
    static void cancellaTabelle(Database &db, Cancellazione ambito, qint64 gara, bool conGiri,
                                const QDateTime &quando);

private:
    struct MancheCaricata {
        Manche manche;
        DatiManche dati;
        QHash<int, qint64> iscrittoDiCorsia;
    };
    QVector<MancheCaricata> carica(qint64 gara, qint64 soloManche);
    QHash<QString, Sanzioni> sanzioniDiGara(qint64 gara); // on the event as a whole, by name key
    QString controllaGiri(const Sanzione &s, int giriInPiu);
    qint64 scriviVoce(const VoceRegistro &v);
    bool nonPartita(qint64 manche, QString *errore);

    Database &db_;
};

} // namespace gara

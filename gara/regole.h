#pragma once
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>
#include <limits>
#include <optional>

// The finish and ranking rules of a session, as a pure function of what was
// stored: the laps of each driver with the instant of the crossing that ended
// each, the start, the track calls and the penalties. Nothing here takes part
// in marking a lap; it is asked afterwards, live (CronacaManche) or from the
// file (ArchivioGara), and may be asked "as of" any instant.
//
// Instants are the program's clock readings (Orologio::adesso, seconds), the
// same the timing core stamps each crossing with and stores in Giri.istante.
namespace gara {

constexpr double infinito = std::numeric_limits<double>::infinity();

// "Prova libera" is the practice session of old and stays the default.
enum class TipoSessione { ProvaLibera = 0, Qualifica = 1, GaraATempo = 2, GaraAGiri = 3 };
QString nomeTipo(TipoSessione tipo);
// The four names in this order, for the start window's control.
QStringList nomiTipi();
std::optional<TipoSessione> tipoDaNome(const QString &nome);
std::optional<TipoSessione> tipoDaNumero(int numero); // as stored
bool eGara(TipoSessione tipo);                          // a time or lap race

struct Regole {
    TipoSessione tipo = TipoSessione::ProvaLibera;
    double durata = 0;          // seconds of race time: Qualifica, Gara a tempo
    int giri = 0;               // laps to the flag: Gara a giri
    // After the flag a driver has this many of his best laps to cross again;
    // one who does not is ranked with the laps he has.
    double fattoreGrazia = 2.0;
    // Empty when these rules make a session, else why not, in Italian.
    QString errore() const;
};

// How the instant of a crossing was taken: stamped by the timing device at the
// line, taken when the poll reply, key or click reached the program, or (a lap
// stored without an instant) rebuilt by adding up lap times.
enum class Precisione { Dispositivo = 0, Arrivo = 1, Ricostruito = 2 };
QString nomePrecisione(Precisione p);

struct GiroManche {
    int giroN = 0;
    float tempo = 0;       // the stored lap time
    double istante = 0;    // the crossing that ended it
    Precisione precisione = Precisione::Arrivo;
};

// The penalties in force for a driver (the trail adds them up).
struct Sanzioni {
    int giri = 0;          // + or - laps
    double secondi = 0;    // + or - seconds on the finishing instant (on the best lap in a Qualifica)
    bool squalificato = false;
};

struct PilotaManche {
    int corsia = -1;       // 0-7
    QString pilota;
    QVector<GiroManche> giri; // in lap order
    Sanzioni sanzioni;
};

// A track call: the race clock stands still from `inizio` to `fine`.
struct Neutralizzazione {
    double inizio = 0;
    double fine = infinito; // infinito while it lasts
};

struct DatiManche {
    Regole regole;
    double partenza = std::numeric_limits<double>::quiet_NaN(); // lights out; NaN before the start
    double chiusura = infinito; // race control closed the heat here (a lap race stopped early)
    QVector<Neutralizzazione> neutralizzazioni;
    QVector<PilotaManche> piloti;
};

enum class StatoPilota {
    InGara,      // racing
    UltimoGiro,  // his next crossing is his last (or, in a lap race, takes the flag)
    Arrivato,    // finished at a crossing after the flag
    Fermo,       // did not cross within the grace time (or the heat was closed): ranked as he is
    Squalificato
};
QString nomeStato(StatoPilota s);

struct EsitoPilota {
    int corsia = -1;
    QString pilota;
    StatoPilota stato = StatoPilota::InGara;
    int giri = 0;               // laps that count under the finish rule
    int giriSanzionati = 0;     // the same with the penalty laps, never below 0
    double ultimoPassaggio = 0; // the last crossing that counts; the start when none
    Precisione precisioneUltimo = Precisione::Arrivo;
    double arrivo = 0;          // that crossing plus the penalty seconds: what ranks a race
    float tempoTotale = 0;      // sum of the laps that count
    float migliorGiro = 0;      // best lap that counts as one (not across a track call); 0 when none
    int giroMigliore = 0;       // its number within the heat, from 1
    double istanteMigliore = 0; // when it was set
    Precisione precisioneMigliore = Precisione::Arrivo;
    QVector<int> giriNeutralizzati; // laps of the heat (from 1) across a track call
    double scadenza = infinito; // after the flag: the last instant his crossing still counts
    int giriAlTermine = -1;     // lap race before the flag: laps he still needs to take it
    double frazione = 0;        // of the lap he had not finished when the heat ended (0 to 0.999)
    Sanzioni sanzioni;
    // Place in the ranking, from 1; equal for drivers that could not be told apart.
    int posizione = 0;
    bool exAequo = false;           // same place as the driver before
    bool decisoSullaLinea = false;  // placed against the driver before by the crossing instants alone
    Precisione precisioneSpareggio = Precisione::Arrivo; // of the two instants that decided it
    double distacco = 0;            // seconds behind the driver before, on the deciding measure
    // What the driver scores towards the event: laps with penalties, the
    // fraction, the penalty seconds taken off in best laps. 0 when disqualified.
    double punteggio() const;
};

struct RisultatoManche {
    Regole regole;
    bool avviata = false;
    double fineTempo = std::numeric_limits<double>::quiet_NaN(); // time races: when the time runs out, given the track calls
    double tempoRimanente = std::numeric_limits<double>::quiet_NaN(); // of race time, as of the instant asked
    bool neutralizzata = false;   // a track call is on
    bool bandiera = false;        // the chequered flag is out
    double istanteBandiera = std::numeric_limits<double>::quiet_NaN();
    QVector<int> corsieBandiera;  // lap race: who took it (several only at the same instant)
    int giriAlTermine = -1;       // lap race: laps the leader still has to run
    bool conclusa = false;        // every driver is finished
    QVector<EsitoPilota> classifica; // in ranking order
    // The driver of a lane; nullptr when the lane is not in the heat.
    const EsitoPilota *diCorsia(int corsia) const;
};

// The heat as it stands at `ora`: laps after `ora` are not yet seen. With
// `ora` infinite (or past the closing) it is the final result: a driver not
// finished is ranked with the laps he has.
RisultatoManche valuta(const DatiManche &dati, double ora = infinito);

} // namespace gara

Q_DECLARE_METATYPE(gara::RisultatoManche)

#pragma once
#include "gara/archiviogara.h"
#include "gara/cronacamanche.h"
#include "gara/neutralizzazione.h"
#include "gara/partenza.h"
#include "timing/sessione.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>

class LavoriGara;
class Orologio;
class UsciteGara;

// Race control without windows: the event in use, its heats put on the timing
// window's lanes one at a time, the start with its lights, track calls, the
// finish, penalties and "next up". It drives the window's session in race mode
// (Sessione::impostaGara) and only listens to its laps: a lap is marked and
// stored by the session alone, then told to the live heat (CronacaManche). The
// file is the record: every step is stored through the lap writer
// (LavoriGara) and every result shown after a heat is computed from the file.
class DirezioneGara : public QObject {
    Q_OBJECT
public:
    enum class Fase {
        Nessuna,       // no heat on the lanes (practice, or no event in use)
        Pronta,        // a heat on the lanes, waiting for Start
        Partenza,      // countdown and lights
        InCorso,
        Neutralizzata, // a track call, or its restart countdown
        Conclusa       // finished and stored; "next up" shows the heat to come
    };
    enum class Tono { Luce, Via };

    DirezioneGara(Orologio &orologio, LavoriGara &lavori, UsciteGara &uscite, FonteCasuale &casuale,
                  QObject *parent = nullptr);
    ~DirezioneGara() override;

    // The timing window's session; nullptr when the window closes (a heat
    // still running is then closed as it stands).
    void segui(Sessione *sessione);
    Sessione *sessione() const { return sessione_; }
    // The device's start lights and track power, from now on.
    void impostaUscite(UsciteGara &uscite) { uscite_ = &uscite; }

    // The event in use: read with its entries and schedule; `pronta` when read.
    void apriGara(qint64 gara, std::function<void()> poi = {});
    // No event in use any more: the session goes back to practice.
    void chiudiGara();
    // A race from the start window: an event of one heat named after the kind
    // and the time, the drivers on lanes 1, 2, ... in order; its heat is put on the lanes.
    void garaVeloce(const QStringList &piloti, const gara::Regole &regole, const QString &pista);
    // Reads the event again (after the event window, a Load, a reset).
    void rileggi();

    // Puts a heat's drivers on their lanes: the next to run when `manche` is 0.
    // Refused, with the reason, while a heat runs or when there is none to run.
    bool caricaManche(qint64 manche = 0, QString *errore = nullptr);

    // Race control's commands; each does nothing where it makes no sense.
    void partenza();          // Start: the countdown begins
    void annullaPartenza();   // before lights out: back to waiting for Start
    void neutralizzazione();  // a track call (again during the restart countdown: it stays frozen)
    void riprendi();          // the restart countdown
    void chiudiManche();      // ends the heat: who has not finished is ranked as he is
    // A penalty or its withdrawal, stored and (on the heat on the lanes) shown live.
    void sanziona(const gara::Sanzione &sanzione, std::function<void(bool fatto, const QString &errore)> esito);
    void annullaSanzione(qint64 voce, const QString &motivo,
                         std::function<void(bool fatto, const QString &errore)> esito);

    // Takes every step due by now: the start's and the restart's, time running
    // out, grace times ending. Its own timers call it; tests on a clock moved by hand too.
    void aggiorna();

    bool impostaPartenza(const ProceduraPartenza::Impostazioni &impostazioni, QString *errore = nullptr);
    bool impostaSecondiRipresa(int secondi, QString *errore = nullptr);

    Fase fase() const { return fase_; }
    bool inCorso() const { return fase_ == Fase::Partenza || fase_ == Fase::InCorso || fase_ == Fase::Neutralizzata; }
    const std::optional<gara::Gara> &gara() const { return gara_; }
    const QVector<gara::Iscritto> &iscritti() const { return iscritti_; }
    const QVector<gara::Manche> &programma() const { return manche_; }
    const std::optional<gara::Manche> &mancheCorrente() const { return corrente_; }
    // The heat to run after the one on the lanes.
    std::optional<gara::Manche> prossima() const;
    QString nomeDi(qint64 iscritto) const;
    // The heat's drivers by lane: "Corsia 1  Mario Rossi" lines for the next-up panel and the voice.
    QVector<QPair<int, QString>> pilotiDi(const gara::Manche &manche) const;
    // The heat live; after it concluded, as the file ranks it.
    const gara::RisultatoManche &stato() const { return cronaca_.stato(); }
    const std::optional<gara::RisultatoManche> &risultato() const { return risultato_; }
    int luci() const { return procedura_.luciAccese(); }
    int secondiRimasti() const; // of the countdown that runs (start or restart), 0 when none
    ProceduraPartenza &procedura() { return procedura_; }
    ControlloNeutralizzazione &controllo() { return controllo_; }
    CronacaManche &cronaca() { return cronaca_; }

signals:
    void cambiata();
    // The event was read (or gone: then no event is in use).
    void pronta();
    void luciCambiate(int accese);
    void contoAllaRovescia(int secondi);
    void contoAllaRipresa(int secondi);
    void viaDato(double istante);
    // What the track hears: about a lane (-1: the race), and when it happened.
    void annuncio(const QString &testo, int corsia, double istante);
    void tono(DirezioneGara::Tono tono);
    // A step that could not be stored, or a command refused: for the operator.
    void errore(const QString &testo);
    // The heat on the lanes ended; `risultato` is computed from the file.
    void mancheConclusa(const gara::RisultatoManche &risultato);

private:
    struct Lettura;
    void leggi(qint64 gara, std::function<void()> poi = {});
    void applica(const Lettura &l);
    void lavora(std::function<void(gara::ArchivioGara &, QString *errore)> lavoro,
                std::function<void()> poi = {});
    void programmaPassi();
    void viaDellaProcedura(double istante);
    void falsaPartenza(int corsia, double istante, PenalitaFalsaPartenza penalita);
    void ripartenza(int corsia);
    void congela(double istante);
    void riparti(double istante, const gara::Neutralizzazione &chiamata);
    void conclusione();
    void sanzioniDalFile(const gara::DatiManche &dati);
    void cambiaSanzioni(std::function<bool(gara::ArchivioGara &, const QDateTime &, QString *)> cambio,
                        std::function<void(bool, const QString &)> esito);
    void annunciaProssima();
    void impostaFase(Fase f);
    // The heat on the lanes as it is now, also in the schedule held (before the file is read again).
    void segnaManche(double partenza, double fine);
    QString nomeCorsia(int corsia) const;

    Orologio &orologio_;
    LavoriGara &lavori_;
    UsciteGara *uscite_;
    ProceduraPartenza procedura_;
    ControlloNeutralizzazione controllo_;
    CronacaManche cronaca_;
    QPointer<Sessione> sessione_;
    QTimer passi_;   // the next step of the start or the restart, on time
    QTimer battito_; // the live heat's clock: time running out, grace times
    Fase fase_ = Fase::Nessuna;
    std::optional<gara::Gara> gara_;
    QVector<gara::Iscritto> iscritti_;
    QVector<gara::Manche> manche_;
    std::optional<gara::Manche> corrente_;
    std::optional<gara::RisultatoManche> risultato_;
    bool chiusuraInCorso_ = false;
};

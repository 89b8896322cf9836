#pragma once
#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>
#include <array>

class Orologio;
class Messaggi;
class ArchivioGiri;
struct CorrezioneGiri;

// A lap just taken, as the announcements and tones hear of it once the mark is done.
struct PassaggioGiro {
    int corsia = -1;
    QString pilota;
    int giro = 0;              // the driver's lap number
    float tempo = 0;           // seconds, as stored
    double istante = 0;        // the crossing, clock time
    bool stampato = false;     // stamped by the timing device at the crossing
    bool migliorePersonale = false; // better than a lap the driver already had
    bool recordSessione = false;    // better than the session's fastest lap so far
};

// The session of the timing window without its widgets: the eight lanes, the
// session clock, Start/Pause/Resume/Stop and the marks. The window mirrors this
// state into its controls whenever `cambiato` is emitted. Instants (the clock's
// readings) are doubles; durations are single precision, as they are stored.
class Sessione : public QObject {
    Q_OBJECT
public:
    static constexpr int numCorsie = 8;
    // Seconds that must pass between two accepted marks of a lane, unless the track sets its own.
    static constexpr double lockoutPredefinito = 1.0;

    struct Corsia {
        // controls of the lane
        QString nome;                 // caption of the frame pilotiLbl1
        bool inUso = false;           // pilotiLbl1 enabled
        QString captionBtn;           // intertempoBtn caption, "1".."8"
        bool btnAbilitato = false;    // intertempoBtn enabled
        bool fineAbilitato = false;   // fineBtn enabled
        QString tempo = QStringLiteral("00:00,000");
        bool tempoRosso = false;      // running clock past the best lap
        bool tempoSfondoPulsante = false; // background set to the button face by a reset
        QString tempolast = QStringLiteral("00:00,000");
        QString bestlapper = QStringLiteral("00:00,000");
        QString vel = QStringLiteral("0 Km/h");
        // timing state
        int numGiri = 0;
        QVector<float> tempiGiro;     // index = lap number; grows as laps come
        bool inCorsa = false;
        double ultimoPassaggio = 0;   // instant of the previous crossing, session time
        float migliorGiro = 0;
        float migliorGiroMostrato = 0;
        double ultimoSegnale = 0;     // instant of the last accepted mark, clock time
        int giriPrecedenti = 0;       // laps stored for the driver before this window's session
        int fermato = 0;              // 1 = stopped for good by Stop (OK), 2 = Stop cancelled
        bool neutralizzato = false;   // the lap in progress runs across a track call: never a best lap
    };

    Sessione(Orologio &orologio, Messaggi &messaggi, ArchivioGiri &archivio, QObject *parent = nullptr);

    // Filled by the start window before inizializza.
    void impostaPilota(int i, const QString &nome);
    // The lanes in use are the leading ones without gaps, as the start window fills them.
    void inizializza();
    // A race heat: exactly the lanes of `corsie` (bit k for lane k) are in use,
    // gaps and all, since the device's lines are the real lane numbers.
    void inizializza(quint8 corsie);
    // Back to the design state for the next heat on the same window: no
    // driver, no lap, not started. The shortest lap and the race mode stay.
    void ricomincia();
    // The lanes in use, in lane order.
    const QVector<int> &corsieInUso() const { return inUso_; }

    // Operator commands.
    void start();
    void pausa();
    void riprendi();
    void stop(int i);            // asks "Stop Pilota" first
    void finebottone(int i);
    // intertempoBtn_Click: a mark of lane i taken at `istante`, the moment its
    // input reached the program (button, key or timing device), or the moment
    // the device saw the crossing when it stamps them (`stampato`).
    void marca(int i, double istante, bool stampato = false);
    void marca(int i);           // at the current instant
    void tick();                 // Timer1
    void impostaSettempo(const QString &testo);
    // Key map; each returns true when it acted. The key is never consumed.
    bool carattereDigitato(const QString &testo, Qt::KeyboardModifiers mod, double istante);
    bool carattereDigitato(const QString &testo, Qt::KeyboardModifiers mod);
    bool tastoGiu(int key, Qt::KeyboardModifiers mod);
    // After the stored times were cleared: counters to 0, best laps to 100 s.
    void azzeraTempi();
    // The shortest lap of every lane: a mark this soon or sooner after the lane's
    // last accepted one is dropped.
    void impostaLockout(double secondi);
    double lockout() const { return lockout_; }
    // A lap of a driver was deleted or merged in the file: the driver's lane takes
    // the lap count, lap times, last and best lap the file now holds, and the
    // session's fastest lap follows when it was a lap that is gone. The lap in
    // progress goes on untouched.
    void applicaCorrezione(const CorrezioneGiri &correzione);
    // Another file took the place of the database (Load): each lane's lap count
    // continues from the laps the file holds for its driver, as at the window's
    // start. The lap in progress goes on.
    void rileggiGiri();
    // The file now in use counts other lap numbers: each lane's last lap becomes
    // the number `ultimi` gives its driver (0 when not named), and the next follows on.
    void riallineaGiri(const QHash<QString, int> &ultimi);
    // Race mode: Start, Pausa and Riprendi (buttons and Alt keys) only ask race
    // control (richiestaStart, richiestaPausa, richiestaRipresa), which starts
    // the session at lights out (`via`) and freezes it for a track call
    // (`neutralizza`, `fineNeutralizzazione`). The session limit ends nothing:
    // the finish rules do. Before the start the lanes in use take crossings
    // that count no lap, told by passaggioPrimaDelVia (false starts).
    void impostaGara(bool gara);
    bool gara() const { return gara_; }
    // Lights out: the session starts now, as Start does in practice.
    void via();
    // A track call: as a pause, and the lap each lane is on will never be a best lap.
    void neutralizza();
    void fineNeutralizzazione();
    // The race heat the laps from now on belong to (0: none, a practice session).
    void impostaManche(qint64 manche) { manche_ = manche; }
    qint64 manche() const { return manche_; }

    const Corsia &corsia(int i) const { return corsie_[i]; }
    int numPiloti() const { return numPiloti_; }
    int pilotaCorrente() const { return pilotaCorrente_; }
    bool startAbilitato() const { return startAbilitato_; }
    bool pausaVisibile() const { return pausaVisibile_; }
    bool riprendiVisibile() const { return riprendiVisibile_; }
    bool timer1Attivo() const { return timer1Attivo_; }
    bool anteprimaTasti() const { return anteprimaTasti_; }
    QString settempo() const { return settempo_; }
    QString tempotot() const { return tempotot_; }
    QString prova() const { return prova_; }
    double inizioSessione() const { return inizioSessione_; }
    double tempoPausa() const { return tempoPausa_; }
    float giroVeloce() const { return giroVeloce_; }

signals:
    void cambiato();
    // Emitted after the mark is complete and handed to the lap store; listeners
    // are connected queued, so nothing they do runs inside a mark.
    void giroSegnato(const PassaggioGiro &giro);
    // A crossing of a running lane dropped by the shortest-lap rule.
    void passaggioIgnorato(int corsia, double istante);
    void avviata(double istante);
    // Every tick of a started session: session time gone and its limit, seconds.
    void tempoSessione(double trascorso, double limite);
    // The session limit was reached and every lane stopped.
    void terminata(double istante);
    // Race mode: the operator's Start, Pausa and Riprendi, for race control to act on.
    void richiestaStart();
    void richiestaPausa();
    void richiestaRipresa();
    // Race mode, before the start: a crossing of a lane in use, which takes no lap.
    void passaggioPrimaDelVia(int corsia, double istante, bool stampato);

private:
    void usa(const QVector<int> &corsie);
    void ascoltaPrimaDelVia();
    void avvia();
    void sospendi();
    void riattiva();
    // Completes lane i's lap at `ora`; fills `esito` with what it was.
    void fineGiro(int i, double ora, PassaggioGiro *esito = nullptr);
    void memorizza(double istante, bool stampato);

    Orologio &orologio_;
    Messaggi &messaggi_;
    ArchivioGiri &archivio_;
    std::array<Corsia, numCorsie> corsie_;
    int numPiloti_ = 0;
    int pilotaCorrente_ = 0;
    bool startAbilitato_ = true;
    bool pausaVisibile_ = false;
    bool riprendiVisibile_ = false;
    bool timer1Attivo_ = true;
    bool anteprimaTasti_ = false;
    QString settempo_ = QStringLiteral("99");
    QString tempotot_ = QStringLiteral("00:00");
    QString prova_;
    double inizioSessione_ = 0;
    double inizioPausa_ = 0;
    double tempoPausa_ = 0;
    float giroVeloce_ = 0;
    double lockout_ = lockoutPredefinito;
    qint64 manche_ = 0;
    QVector<int> inUso_;
    bool gara_ = false;
};

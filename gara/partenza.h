#pragma once
#include <QObject>
#include <QString>
#include <QVector>

class Orologio;

// What a jump start costs the lane, as the race director set it.
enum class PenalitaFalsaPartenza { Avviso = 0, UnSecondo = 1, UnGiro = 2, Ripartenza = 3 };
QString nomePenalitaFalsaPartenza(PenalitaFalsaPartenza p); // "Avviso", "+1 secondo", "-1 giro", "Ripartenza"

// Where the random hold before lights out comes from; tests give their own.
class FonteCasuale {
public:
    virtual ~FonteCasuale() = default;
    // A number from `minimo` to `massimo`.
    virtual double tra(double minimo, double massimo) = 0;
};
class CasualeDiSistema : public FonteCasuale {
public:
    double tra(double minimo, double massimo) override;
};

// The start of a race, without drawing: a countdown, five lights coming on one
// a second, a random hold with all five lit, then lights out. A crossing from
// the first light to lights out is a false start for its lane. Driven by the
// program's clock: the window calls `aggiorna` from a timer (`prossimoCambio`
// tells when the next step is due) and hands over every crossing of a lane
// while the procedure runs (`passaggio`), as the session drops those taken
// before its Start. The signals drive the drawn lights, the device's
// start-light outputs and power relay, the tones and the voice; on `via` the
// window starts the session.
class ProceduraPartenza : public QObject {
    Q_OBJECT
public:
    enum class Fase { Pronta, ContoAllaRovescia, Luci, Attesa, Via };
    static constexpr int numeroLuci = 5;

    struct Impostazioni {
        int secondiContoAllaRovescia = 5;
        double intervalloLuci = 1.0;      // seconds between one light and the next
        double attesaMinima = 0.2;        // the random hold with all lights on, seconds
        double attesaMassima = 3.0;
        PenalitaFalsaPartenza penalita = PenalitaFalsaPartenza::Avviso;
        bool correnteDuranteLuci = true;  // track power on while the lights come on (else from lights out)
        QString errore() const;           // empty when usable, else why not, in Italian
    };

    ProceduraPartenza(Orologio &orologio, FonteCasuale &casuale, QObject *parent = nullptr);

    // Refused with the reason while a start is under way or when not usable.
    bool imposta(const Impostazioni &impostazioni, QString *errore = nullptr);
    const Impostazioni &impostazioni() const { return impostazioni_; }

    // From Pronta (or after a start that went, for the next heat): the countdown begins now.
    void avvia();
    // Back to Pronta, lights off.
    void annulla();
    // Takes every step that is due by now, in order.
    void aggiorna();
    // A crossing of lane `corsia` at `istante` (as stamped): true when it is a false
    // start, told once per lane and start. Crossings stamped before the first light
    // or after lights out are not.
    bool passaggio(int corsia, double istante);

    Fase fase() const { return fase_; }
    int luciAccese() const { return luci_; }
    int secondiRimasti() const { return secondi_; }
    // When the next step is due; infinite when none is.
    double prossimoCambio() const;
    double istantePrimaLuce() const { return primaLuce_; }
    double istanteVia() const { return via_; }       // NaN until lights out
    QVector<int> falsePartenze() const { return false_; }

signals:
    void faseCambiata(ProceduraPartenza::Fase fase);
    void contoAllaRovescia(int secondi); // 5, 4, 3, 2, 1
    void luci(int accese);               // 0 to 5
    void alimentazione(bool accesa);     // the track power relay
    void via(double istante);            // lights out: the race starts at this instant
    void falsaPartenza(int corsia, double istante, PenalitaFalsaPartenza penalita);
    // A false start under "Ripartenza": the procedure is back to Pronta (if the
    // stamp came after lights out, the session that started must be stopped too).
    void ripartenza(int corsia);

private:
    void vaiA(Fase f);

    Orologio &orologio_;
    FonteCasuale &casuale_;
    Impostazioni impostazioni_;
    Fase fase_ = Fase::Pronta;
    double inizio_ = 0;     // countdown start
    double primaLuce_ = 0;
    double spegnimento_ = 0; // lights out as drawn
    double via_ = 0;
    int luci_ = 0;
    int secondi_ = 0;
    QVector<int> false_;
};

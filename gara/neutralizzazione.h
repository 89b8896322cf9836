#pragma once
#include "gara/regole.h"

#include <QObject>
#include <QVector>

class Orologio;

// Race control's track call ("Neutralizzazione"), without drawing: a call
// freezes the race clock and every lane's running lap and cuts the track power;
// the restart comes after a countdown. Driven by the program's clock like the
// start. On `congela` the window pauses the session (Sessione::pausa: the lanes'
// running laps stand still and crossings are not taken); on `riparti` it resumes
// it and stores the call (ArchivioGara::registraNeutralizzazione) so that the
// rules stop the race clock for it and take no best lap across it.
class ControlloNeutralizzazione : public QObject {
    Q_OBJECT
public:
    enum class Fase { InGara, Neutralizzata, Ripresa };

    explicit ControlloNeutralizzazione(Orologio &orologio, QObject *parent = nullptr);

    // Seconds of countdown before the restart, 0 to 60.
    bool impostaSecondiRipresa(int secondi, QString *errore = nullptr);
    int secondiRipresa() const { return secondiRipresa_; }

    // The call (key or button). During the restart countdown it stops the
    // countdown and the race stays frozen. False when already frozen.
    bool chiama();
    // Starts the countdown to the restart. False when there is no call on.
    bool riprendi();
    void aggiorna();
    // A new heat: no call on, none remembered.
    void azzera();

    Fase fase() const { return fase_; }
    int secondiRimasti() const { return secondi_; }
    double prossimoCambio() const;
    // The calls of this heat, the one still on with an infinite end.
    const QVector<gara::Neutralizzazione> &neutralizzazioni() const { return chiamate_; }

signals:
    void faseCambiata(ControlloNeutralizzazione::Fase fase);
    void congela(double istante);
    void alimentazione(bool accesa);
    void contoAllaRipresa(int secondi);
    void riparti(double istante, const gara::Neutralizzazione &chiamata);

private:
    Orologio &orologio_;
    Fase fase_ = Fase::InGara;
    int secondiRipresa_ = 5;
    int secondi_ = 0;
    double inizioRipresa_ = 0;
    QVector<gara::Neutralizzazione> chiamate_;
};

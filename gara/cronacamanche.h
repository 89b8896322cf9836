#pragma once
#include "gara/regole.h"

#include <QMap>
#include <QObject>

struct PassaggioGiro;

// The heat as it goes, for the timing window, the live page and the voice:
// who is on his last lap, who has the flag, who is finished, laps to go.
// It only listens: connect Sessione::giroSegnato to `giro` queued (the lap is
// then complete and handed to the lap store) and the window's timer to
// `aggiorna`. It never delays, drops or changes a lap; a driver it calls
// finished may still cross, and whether the window then stops his lane
// (Sessione::finebottone) is the window's choice. The result that counts is
// computed again from the file (ArchivioGara::risultatoManche).
class CronacaManche : public QObject {
    Q_OBJECT
public:
    explicit CronacaManche(QObject *parent = nullptr);

    // A new heat: its rules and its drivers by lane; forgets the previous one.
    void prepara(const gara::Regole &regole, const QMap<int, QString> &piloti);
    // The same heat as the file holds it (after a Load or a correction).
    void ricarica(const gara::DatiManche &dati);
    // Lights out: the instant the session was started (Sessione::inizioSessione()).
    void partenza(double istante);
    void neutralizzazioneIniziata(double istante);
    void neutralizzazioneFinita(double istante);
    void impostaSanzioni(int corsia, const gara::Sanzioni &sanzioni);
    // Race control ends the heat: whoever has not finished is ranked as he is.
    void chiudi(double istante);
    // A lap of the session, as Sessione::giroSegnato tells it.
    void giro(const PassaggioGiro &passaggio);
    // Time passing (the time running out, a grace time ending): the clock's reading.
    void aggiorna(double ora);

    const gara::RisultatoManche &stato() const { return stato_; }
    const gara::DatiManche &dati() const { return dati_; }
    // Arrived, stopped or disqualified: the heat has nothing more for him.
    bool finito(int corsia) const;
    double ora() const { return ora_; }

signals:
    void cambiata(const gara::RisultatoManche &stato);
    // His next crossing is his last (in a lap race before the flag: it may take the flag).
    void ultimoGiro(int corsia);
    // Chequered flag: for a lap race the lanes that took it, for a time race none (the time ran out).
    void bandieraScacchi(double istante, const QVector<int> &corsie);
    void arrivato(int corsia, int posizione);
    // He did not cross again in time after the flag, or the heat was closed: ranked as he is.
    void fermo(int corsia);
    void conclusa();

private:
    void valuta();

    gara::DatiManche dati_;
    gara::RisultatoManche stato_;
    double ora_ = 0;
};

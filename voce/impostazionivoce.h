#pragma once
#include <QMetaType>
#include <QString>

class Impostazioni;

// "Annunci vocali...": what the track hears. Everything is off until the
// operator turns it on; kept in the per-user settings.
struct ImpostazioniVoce {
    static constexpr char sezione[] = "AnnunciVocali";

    bool attivi = false;        // the voice, as a whole
    bool ogniGiro = true;
    bool migliorGiro = true;    // a driver's new best lap
    bool giroVeloce = true;     // a new fastest lap of the session
    bool tempoRimasto = true;   // 5 minutes and 1 minute left, and the end
    bool partenza = true;
    QString voce;               // empty: the engine's default Italian voice
    double velocita = 0;        // -1..1
    double volume = 1;          // 0..1
    bool tonoGiro = false;      // a short high tone on every accepted lap
    bool tonoIgnorato = false;  // a low tone on a crossing the shortest-lap rule drops
    bool gara = true;           // race control: last lap, flag, false start, track call, next up
    bool toniPartenza = true;   // a beep for every second and light of a race start, a high one at lights out

    // Something needs the speech engine, or the sound output.
    bool servonoVoce() const { return attivi; }
    bool servonoToni() const { return tonoGiro || tonoIgnorato; }

    static ImpostazioniVoce leggi(const Impostazioni &store);
    void scrivi(Impostazioni &store) const;
    bool operator==(const ImpostazioniVoce &) const = default;
};
Q_DECLARE_METATYPE(ImpostazioniVoce)

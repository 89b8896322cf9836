#pragma once
#include <QString>
#include <array>
#include <functional>
#include <optional>

class MotoreVoce;
class Orologio;

// What may be said, most important last.
enum class Priorita { Giro, MigliorGiro, GiroVeloce, Sessione };

struct Annuncio {
    QString testo;
    Priorita priorita = Priorita::Giro;
    int corsia = -1;     // -1 for the session's own announcements
    double istante = 0;  // the crossing or event it is about, clock time
};

// One voice for the whole track: says one announcement at a time; while it
// speaks, each lane keeps only its newest announcement (one more for the
// session), and the next to speak is the most important, then the oldest.
// One that could not start within `ritardoMassimo` of its event is dropped:
// a lap read late is worse than one not read.
class Annunciatore {
public:
    static constexpr double ritardoMassimo = 3.0;
    // An engine that has not said it finished by then is taken as done.
    static constexpr double durataMassima = 20.0;

    Annunciatore(Orologio &orologio, MotoreVoce &motore);
    ~Annunciatore();

    void accoda(const Annuncio &annuncio);
    // Called now and then: gets past an engine that never reported the end.
    void controlla();
    bool parla() const { return inCorso_.has_value(); }
    int inAttesa() const;
    const std::optional<Annuncio> &inCorso() const { return inCorso_; }

    // Observers: an announcement handed to the voice (at that instant), or dropped.
    std::function<void(const Annuncio &, double)> avviato;
    std::function<void(const Annuncio &)> scartato;

private:
    void prossimo();
    void finito();
    static int posto(int corsia);

    Orologio &orologio_;
    MotoreVoce &motore_;
    std::array<std::optional<Annuncio>, 9> attesa_; // eight lanes, then the session
    std::optional<Annuncio> inCorso_;
    double inizioCorso_ = 0;
};

#pragma once
#include "gara/partenza.h"

class Impostazioni;

// How race control starts and restarts a race, as the race director set it:
// kept per user (section "Gara" of the settings), read back at every start of
// the program. A stored value that cannot be used keeps its default.
struct ImpostazioniGara {
    ProceduraPartenza::Impostazioni partenza;
    int secondiRipresa = 5; // countdown after a track call, 0 to 60

    static ImpostazioniGara leggi(const Impostazioni &store);
    void scrivi(Impostazioni &store) const;
    // Empty when usable, else why not, in Italian.
    QString errore() const;
};

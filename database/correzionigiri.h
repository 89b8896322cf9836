#pragma once
#include "timing/archivio.h"

#include <QString>
#include <optional>

class Database;

// One stored lap as a grid showed it: its row, the exact driver name, its number and time.
struct GiroScelto {
    qint64 id = 0;
    QString pilota;
    int giroN = 0;
    float tempoGiro = 0;
};

// Race control's corrections of the stored laps: a lap that must not count is
// deleted, a false crossing is merged into the driver's next lap (one lap, the
// sum of the two). Either is one transaction: the driver's later laps move down
// by one, the per-driver totals follow through the triggers on Giri, TempoTotale
// is rebuilt, and Tempofast, when it held the time of a lap that is gone, becomes
// the fastest lap still stored (0 when none).
namespace correzioni {

enum class Tipo { Unisci, Elimina };

// Returns what the file then holds for the driver. Nothing is changed, and
// `motivo` says why in Italian, when the lap is no longer as the grid showed it
// or has no next lap to be merged into. Throws ErroreDatabase, changing nothing.
std::optional<CorrezioneGiri> correggi(Database &db, const GiroScelto &giro, Tipo tipo, QString *motivo);

} // namespace correzioni

#pragma once
#include <QString>
#include <functional>
#include <optional>

class ArchivioAsincrono;
class CopieSicurezza;
class Database;
class Messaggi;
class Sessione;
class Tabelle;

// "Canc.Database": clears the stored times after the operator's confirmation.
class CancellaTempi {
public:
    static constexpr const char *titolo = "Reset Database";
    static QString domanda();

    // With the lap store's writer, the reset is one of its writes: done in order
    // after the laps marked before the confirmation, after a backup it makes.
    CancellaTempi(Database &db, QString percorsoDatabase, Messaggi &messaggi, Sessione &sessione,
                  CopieSicurezza &copie, ArchivioAsincrono *archivio = nullptr);

    // `classificaConGiri` answers whether the standings as the grid last showed
    // them hold a driver with one lap or more. Returns true when the operator
    // confirmed and the reset went through; the caller refreshes the grids.
    // A backup comes first: when it cannot be made nothing is cleared (with the
    // writer, the reset then waits for one, as a lap waits for the disk).
    bool cancellaTempi(const std::function<bool()> &classificaConGiri);
    // What the reset clears on the writer's connection, chosen after the
    // confirmation (the race data too, on a further question): the work, or
    // nothing when the operator cancelled there. Unset: the laps, as always. It runs
    // inside the transaction that clears the file.
    using Lavoro = std::function<void(Database &db, bool conGiri)>;
    void impostaScelta(std::function<std::optional<Lavoro>()> scelta) { scelta_ = std::move(scelta); }
    // The menu entry: the reset, then the grids refreshed even after a cancel.
    void menuCancDatabase(Tabelle &tabelle, const std::function<bool()> &classificaConGiri);

    // The backup before a reset; false when it failed and the user was told.
    static bool copiaPrimaDelReset(CopieSicurezza &copie, Messaggi &messaggi);

    // The database part alone: laps and standings emptied when `conGiri`, and
    // Tempofast left with its one row at 0. Throws ErroreDatabase, changing nothing.
    static void svuota(Database &db, bool conGiri);
    // The same inside the caller's transaction (a reset that clears more with it).
    static void svuotaTabelle(Database &db, bool conGiri);

private:
    Database &db_;
    QString percorso_;
    Messaggi &messaggi_;
    Sessione &sessione_;
    CopieSicurezza &copie_;
    ArchivioAsincrono *archivio_;
    std::function<std::optional<Lavoro>()> scelta_;
};

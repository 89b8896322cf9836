#pragma once
#include <QString>
#include <functional>

class ArchivioAsincrono;
class Database;
class QObject;

// Where race control's storage work runs: on the lap writer's connection, in
// order with the laps, never on the window's thread. `poi` comes back on the
// caller's thread (never when `contesto` is gone by then); an engine error
// (ErroreDatabase) reaches it as `fatto` false with the reason.
class LavoriGara {
public:
    using Lavoro = std::function<void(Database &)>;
    using Poi = std::function<void(bool fatto, const QString &errore)>;
    virtual ~LavoriGara() = default;
    virtual void esegui(QObject *contesto, Lavoro lavoro, Poi poi) = 0;
};

// The program's: the lap store's writer thread.
class LavoriScrittore : public LavoriGara {
public:
    explicit LavoriScrittore(ArchivioAsincrono &archivio) : archivio_(archivio) {}
    void esegui(QObject *contesto, Lavoro lavoro, Poi poi) override;

private:
    ArchivioAsincrono &archivio_;
};

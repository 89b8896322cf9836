#pragma once
#include "timing/archivio.h"

class Database;
class Messaggi;

// The lap store on the timing database: lap counters, the fastest lap and the
// stored laps with the standings snapshot. Engine errors never leave it: they
// become a message box and the stored data stays as it was.
class ArchivioTempi : public ArchivioGiri {
public:
    ArchivioTempi(Database &db, Messaggi &messaggi);

    int contaGiri(const QString &pilota) override;
    void scriviGiroVeloce(float tempo) override;
    void memorizza(const GiroCompletato &giro) override;

    // The same operations, throwing ErroreDatabase instead of showing it.
    int contaGiriOEccezione(const QString &pilota);
    void scriviGiroVeloceOEccezione(float tempo);
    void memorizzaOEccezione(const GiroCompletato &giro);

    // Empties TempoTotale and refills it from Classifica, totals as time text.
    static void ricostruisciTempoTotale(Database &db);

private:
    Database &db_;
    Messaggi &messaggi_;
};

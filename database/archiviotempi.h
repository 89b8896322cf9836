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

    // The steps of those operations, for a caller that holds its own transaction.
    static void inserisciGiro(Database &db, const GiroCompletato &giro);
    // Whether the file holds that lap, every field as inserisciGiro stores it.
    static bool contieneGiro(Database &db, const GiroCompletato &giro);
    static void aggiornaGiroVeloce(Database &db, float tempo);
    // Empties TempoTotale and refills it from Classifica, totals as time text.
    static void ricostruisciTempoTotale(Database &db);

private:
    Database &db_;
    Messaggi &messaggi_;
};

#pragma once
#include "timing/archivio.h"

class Database;

// The lap store's statements on the timing database: lap counters, the fastest
// lap, the stored laps and the standings snapshot. The caller holds the
// transaction (the writer commits whatever waits in one) and tells the operator
// of a failure: each of these throws ErroreDatabase.
namespace archivioTempi {

// Highest lap number stored for the driver, 0 when none.
int contaGiri(Database &db, const QString &pilota);
void inserisciGiro(Database &db, const GiroCompletato &giro);
// Whether the file holds that lap, every field of its row as inserisciGiro stores it.
bool contieneGiro(Database &db, const GiroCompletato &giro);
// The session's new fastest lap; a file that lost Tempofast's one row gets it back.
void aggiornaGiroVeloce(Database &db, float tempo);
// Empties TempoTotale and refills it from Classifica, totals as time text.
void ricostruisciTempoTotale(Database &db);

} // namespace archivioTempi

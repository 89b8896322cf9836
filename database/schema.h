#pragma once
#include <QString>
#include <QStringList>
#include <vector>

class Database;

namespace schema {

// Tables and stored queries that a timing database file must hold.
const std::vector<const char *> &oggettiRichiesti();

// Creates whatever is missing of the schema (tables, helper table, triggers,
// indexes, views, the one Tempofast row) in one transaction; a brand-new file
// also gets the starting track catalogue. Safe to run on every open.
void prepara(Database &db, bool nuovo);

// A file about to become the timing database: its triggers, views and indexes
// are dropped and the program's own made again, and what is derived from the
// laps (TotaliPiloti, TempoTotale, the fastest lap in Tempofast) is rebuilt
// from Giri, in one transaction. Returns the objects dropped that were not the
// program's own, each as "trigger X", "vista X" or "indice X". Throws ErroreDatabase.
QStringList ricostruisci(Database &db);

// What the open file lacks of the tables and views the program reads,
// compared with the schema prepara() creates on an empty database: an Italian
// text naming the first difference, or empty when there is none. Tables must
// have every column with the same declared type, key and NOT NULL, and no
// other column that refuses an empty value; views must give the same column
// names in the same order. Throws ErroreDatabase.
QString differenze(Database &db);

// Opens the timing database at `percorso` with the program's password,
// creating it with the schema when the file is missing or empty. Returns true
// when the file was created now. Throws ErroreDatabase.
bool apriDatabase(Database &db, const QString &percorso);

} // namespace schema

#pragma once
#include <QString>
#include <vector>

class Database;

namespace schema {

// Tables and stored queries that a timing database file must hold.
const std::vector<const char *> &oggettiRichiesti();

// Creates whatever is missing of the schema (tables, helper table, triggers,
// indexes, views, the one Tempofast row) in one transaction; a brand-new file
// also gets the starting track catalogue. Safe to run on every open.
void prepara(Database &db, bool nuovo);

// Opens the timing database at `percorso` with the program's password,
// creating it with the schema when the file is missing or empty. Returns true
// when the file was created now. Throws ErroreDatabase.
bool apriDatabase(Database &db, const QString &percorso);

// Where "saettinopro.mb" lives: the program's folder when it is writable,
// otherwise the per-user data folder (created on demand); see posizioneArchivio.
QString percorsoDatabase();

} // namespace schema

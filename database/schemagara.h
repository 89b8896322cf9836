#pragma once
#include <QString>
#include <QStringList>

class Database;

// The race day's part of the timing database: events, entry lists, heats and
// their lanes, race events (track calls, false starts), the race director's
// trail of penalties and corrections, championships with their points, and
// three columns of Giri that tie a lap to its heat and keep the instant of the
// crossing that ended it. Files of earlier versions have none of it: it is
// created when missing, on every open and after every Load, and never required
// of a file offered to Load (only checked when the file has it).
namespace schema {

// Creates what is missing of it. Runs inside the caller's transaction.
void preparaGara(Database &db);
// The same for a connection that did not go through prepara(), such as the
// lap writer's reopening a file found under the database's name: in a
// transaction of its own, and only when something is missing.
void completaGara(Database &db);

// The race tables, each checked like the program's own tables when present.
const QStringList &tabelleGara();
// The indexes of the race tables and of the added Giri columns, lower case.
const QStringList &indiciGara();
// A column the program added to one of its older tables: a file may lack it.
bool colonnaAggiunta(const QString &tabella, const QString &colonna);

} // namespace schema

#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class ArchivioAsincrono;
class Database;
class DialogoFile;
class Messaggi;
class QSaveFile;

enum class EsitoEsportazione { Esportato, Annullato, Errore };

// What the spreadsheet exports share: the name asked for, with the extension
// added to a name without one; a question before any existing file is
// replaced; the laps still waiting committed first; then reading and writing
// on a thread of their own with a connection of their own, so the timing
// window goes on meanwhile; and failures told in Italian.
struct Esportazione {
    QString titolo, filtro, estensione;
    // Every file written for the chosen name.
    std::function<QStringList(const QString &nome)> file;
    // Reads `db` (throws ErroreDatabase) and writes the files; false with the reason.
    std::function<bool(Database &db, const QString &nome, QString *errore)> scrivi;

    // `archivio`, when given, commits the laps still waiting before the file is read.
    EsitoEsportazione esegui(const QString &percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                             ArchivioAsincrono *archivio) const;
};

// Why `f` could not be written, in words the operator can act on; `aperto`
// when it failed after the file was created (writing or renaming).
QString motivoScrittura(const QSaveFile &f, bool aperto);

// Writes `byte` in full to a temporary file beside `nome` and renames it at the end.
bool scriviFileIntero(const QString &nome, const QByteArray &byte, QString *errore);

#pragma once
#include <functional>
#include "database/sostituzione.h"

#include <QString>

class ArchivioAsincrono;
class CopieSicurezza;
class Database;
class DialogoFile;
class Messaggi;
class QObject;
class Tabelle;

// Saved sessions: byte copies of the whole timing database under a name the
// user chooses (by convention *.qlt), written out and read back in. The lap
// store's writer, when there is one, commits what waits first. A save copies
// the file under a read lock, so no commit lands halfway through it. Loading
// goes through sostituzione::sostituisci: checked, backed up, replaced while
// every connection of the program is closed, reopened or put back; laps still
// waiting then go into the file in place.
class SessioniSalvate {
public:
    static constexpr const char *filtro = "Salvataggi|*.qlt|Tutti i file|*.*";
    static constexpr const char *titoloSalva = "Salva Tempi";
    static constexpr const char *titoloCarica = "Carica Tempi";

    using Esito = sostituzione::Esito;

    SessioniSalvate(Database &db, QString percorsoDatabase, DialogoFile &dialogo, Messaggi &messaggi,
                    CopieSicurezza &copie, ArchivioAsincrono *archivio = nullptr);

    // Menu "Save" of the timing window; the grids are refreshed even after a cancel.
    void salva(Tabelle &tabelle);
    // The same without waiting for the file: with the lap store's writer the copy is
    // its work, in order after the laps, while this thread goes on; the outcome is
    // told, the grids refreshed (while `guardia` lives) and `poi` called once it is done.
    // `prima` is called once a name is chosen, before the copy starts.
    void salvaPoi(Tabelle &tabelle, QObject *guardia, std::function<void()> prima, std::function<void()> poi);
    // Menu "Load": of the timing window with its grids, of the start window with none.
    // True when another file took the place of the database: lap counters must be read again.
    bool carica(Tabelle *tabelle);
    // The same without holding up the caller's thread while the chosen file is checked
    // and copied (seconds for a large file): that work goes to a thread of its own, and
    // `poi` is called on this thread, with carica's answer, once the database is replaced.
    // `prima` is called once a file is chosen, before that work starts. The lap store's
    // writer is closed first: laps made meanwhile wait for the file that will be in
    // place, and go into it. `tabelle` is left alone once `guardia`, when given, is gone.
    // Returns what abandons the Load (the program ends): it waits for the check, removes
    // what it made and leaves the database as it was; `poi` is then never called.
    std::function<void()> caricaPoi(Tabelle *tabelle, std::function<void()> prima,
                                    std::function<void(bool caricato)> poi, QObject *guardia = nullptr);

    // The copies alone, without dialogs or messages.
    Esito salvaIn(const QString &destinazione, QString *errore);
    // The copy of the file `db` is open on, under a read lock so that no commit lands
    // halfway through it, to `destinazione` in one rename. False with the reason.
    static bool copiaLetta(Database &db, const QString &percorsoDatabase, const QString &destinazione,
                           QString *errore);
    sostituzione::Risultato caricaDa(const QString &origine);
    // What the user is told after loading `nome`: empty when it went through.
    QString messaggioCarica(const QString &nome, const sostituzione::Risultato &r) const;

private:
    bool riapri(QString *errore);
    sostituzione::Connessioni connessioni();
    // The replacement's outcome told and the grids refreshed; true when loaded.
    bool concludi(const QString &nome, const sostituzione::Risultato &r, Tabelle *tabelle);

    Database &db_;
    QString percorso_;
    DialogoFile &dialogo_;
    Messaggi &messaggi_;
    CopieSicurezza &copie_;
    ArchivioAsincrono *archivio_;
};

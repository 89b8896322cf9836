#pragma once
#include <QString>

class ArchivioAsincrono;
class Database;
class DialogoFile;
class Messaggi;
class Tabelle;

// Saved sessions: byte copies of the whole timing database under a name the
// user chooses (by convention *.qlt), written out and read back in. The lap
// store's writer, when there is one, commits what waits first; a save copies
// the file under a read lock, so no commit lands halfway through it, and a load
// replaces the file while every connection of the program is closed, reopening
// them afterwards whatever happened.
class SessioniSalvate {
public:
    static constexpr const char *filtro = "Salvataggi|*.qlt|Tutti i file|*.*";
    static constexpr const char *titoloSalva = "Salva Tempi";
    static constexpr const char *titoloCarica = "Carica Tempi";

    enum class Esito {
        Fatto,      // copied
        Invariato,  // the chosen file is the database itself: nothing to do
        Rifiutato,  // not a timing database with our password; nothing touched
        Errore,     // the file system failed; the database is as it was
        NonRiaperto // the file was copied but the program's connection did not reopen
    };

    SessioniSalvate(Database &db, QString percorsoDatabase, DialogoFile &dialogo, Messaggi &messaggi,
                    ArchivioAsincrono *archivio = nullptr);

    // Menu "Save" of the timing window; the grids are refreshed even after a cancel.
    void salva(Tabelle &tabelle);
    // Menu "Load": of the timing window with its grids, of the start window with none.
    void carica(Tabelle *tabelle);

    // The copies alone, without dialogs or messages.
    Esito salvaIn(const QString &destinazione, QString *errore);
    Esito caricaDa(const QString &origine, QString *errore);

private:
    bool riapri(QString *errore);

    Database &db_;
    QString percorso_;
    DialogoFile &dialogo_;
    Messaggi &messaggi_;
    ArchivioAsincrono *archivio_;
};

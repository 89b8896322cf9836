#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class CopieSicurezza;

// Putting another file in the place of the timing database (loading a saved
// session) so that at every step the program keeps a database that opens:
// the new file is checked, copied beside the database (compacted when it
// holds much free space), its triggers, views, indexes and derived tables made
// again by the program and checked again there, the database is backed up, then replaced in one rename and reopened;
// when it does not reopen the previous file goes back and is reopened.
namespace sostituzione {

enum class Esito {
    Fatto,            // replaced and reopened
    Invariato,        // the chosen file is the database itself: nothing to do
    Rifiutato,        // not a sound timing database; nothing touched
    CopiaNonRiuscita, // the backup could not be made, so nothing was replaced
    Errore,           // the file system failed; the database is as it was
    Ripristinato,     // replaced, did not reopen, the previous file is back and open
    NonRiaperto       // the database does not reopen (see `motivo`)
};

// The program's connections to the database file, whoever holds them. Every
// one must be closed before the file is replaced.
struct Connessioni {
    std::function<void()> chiudi;
    // Opens them again on the database file; false with the reason when not.
    std::function<bool(QString *motivo)> riapri;
};

struct Risultato {
    Esito esito = Esito::Fatto;
    QString motivo;        // why, in Italian, when not Fatto or Invariato
    QString copiaSicurezza; // the backup made before the replacement, if any
    QStringList tolti;     // objects of the file that were not the program's, dropped
    bool compattato = false; // the file had much free space and was copied without it
};

// A file with at least this many bytes that hold no data, and a quarter of it
// at least, is compacted on its way in.
constexpr qint64 minimoDaCompattare = 1024 * 1024;

Risultato sostituisci(const QString &origine, const QString &percorsoDatabase,
                      CopieSicurezza &copie, const Connessioni &connessioni);

// The same in two steps. The first works on files only, so a worker thread can do
// it while the window goes on (checking a large file takes seconds): the chosen
// file checked, copied beside the database, its derived parts made again, the copy
// checked; and, given `copie`, the backup of the database as it stands (nobody may
// write it meanwhile). The second, on the thread of the connections, replaces the database.
struct Preparato {
    Risultato risultato; // Fatto when the copy is ready, else why not
    QString nuovo;       // the checked copy beside the database
};
Preparato prepara(const QString &origine, const QString &percorsoDatabase, CopieSicurezza *copie = nullptr);
Risultato completa(const Preparato &preparato, const QString &percorsoDatabase, CopieSicurezza &copie,
                   const Connessioni &connessioni);

// Helpers of saved sessions.
bool stessoFile(const QString &a, const QString &b);
// A name beside `destinazione` that nobody uses, so a rename stays in one folder.
QString nomeAccanto(const QString &destinazione, const QString &etichetta);
// A byte copy; `a` must not exist. False with the reason.
bool copiaFile(const QString &da, const QString &a, QString *errore);
// Replaces `destinazione` in one step: a reader sees the old file or the new one.
bool rinomina(const QString &da, const QString &destinazione, QString *errore);

} // namespace sostituzione

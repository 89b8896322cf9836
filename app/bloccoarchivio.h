#pragma once
#include "piattaforma/bloccofile.h"

#include <QString>

// Keeps a second program off the timing database: a kernel lock on a file
// beside it (`<database>.lock`), taken before anything opens the database and
// held for the whole run; the system lets it go when the program ends in any way.
class BloccoArchivio {
public:
    using Esito = BloccoFile::Esito;

    explicit BloccoArchivio(const QString &percorsoDatabase) : blocco_(percorsoDatabase + QStringLiteral(".lock")) {}

    Esito prendi() { return blocco_.prendi(); }
    // Lets the lock go and removes the lock file (also done by the destructor).
    void rilascia() { blocco_.rilascia(); }
    QString percorso() const { return blocco_.percorso(); }
    // Why no lock could be made, in the system's words.
    QString errore() const { return blocco_.errore(); }

    static QString testoOccupato();
    // What the operator is told when no lock can be made: the database is not opened.
    QString testoImpossibile() const;

private:
    BloccoFile blocco_;
};

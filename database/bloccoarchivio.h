#pragma once
#include <QLockFile>
#include <QString>

// Keeps a second program off the timing database: a lock file beside it, taken
// before anything opens the file and held for the whole run. The lock of a
// program that died (killed, crashed) is taken over.
class BloccoArchivio {
public:
    explicit BloccoArchivio(const QString &percorsoDatabase);
    BloccoArchivio(const BloccoArchivio &) = delete;
    BloccoArchivio &operator=(const BloccoArchivio &) = delete;

    // False only when a running program holds the database. A folder where no
    // lock can be made does not stop the start: opening the file reports it.
    bool prendi();
    QString percorso() const { return percorso_; }

    static QString testoOccupato();

private:
    QString percorso_;
    QLockFile blocco_;
};

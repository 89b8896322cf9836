#pragma once
#include <QString>

// Keeps a second program off the timing database: a kernel lock on a file
// beside it (flock on Unix, LockFileEx on Windows), taken before anything
// opens the database and held for the whole run. The kernel lets the lock go
// when its program ends in any way, so whatever a leftover lock file holds
// (another host's name, nothing, garbage, a PID that a new process reuses) a
// lock no running program holds is free. All the platform code is here.
class BloccoArchivio {
public:
    enum class Esito {
        Preso,      // this program holds the database
        Occupato,   // another running program holds it
        Impossibile // no lock can be made here (see `errore`)
    };

    explicit BloccoArchivio(const QString &percorsoDatabase);
    ~BloccoArchivio();
    BloccoArchivio(const BloccoArchivio &) = delete;
    BloccoArchivio &operator=(const BloccoArchivio &) = delete;

    Esito prendi();
    // Lets the lock go and removes the lock file (also done by the destructor).
    void rilascia();
    QString percorso() const { return percorso_; }
    // Why no lock could be made, in the system's words.
    QString errore() const { return errore_; }

    static QString testoOccupato();
    // What the operator is told when no lock can be made: the database is not opened.
    QString testoImpossibile() const;

private:
    QString percorso_;
    QString errore_;
#ifdef _WIN32
    void *maniglia_ = nullptr;
#else
    int descrittore_ = -1;
#endif
};

#pragma once
#include <QByteArray>
#include <QString>

// A kernel lock on a file (flock, LockFileEx), held until it is let go or its
// program ends in any way: then the system lets it go. Whatever a leftover lock
// file holds (another host's name, nothing, garbage, a PID that a new process
// reuses) a lock no running program holds is free. The file gets who holds it
// (PID and host name), for a person who opens it; the lock never reads it.
class BloccoFile {
public:
    enum class Esito {
        Preso,      // this program holds the lock
        Occupato,   // another running program holds it
        Impossibile // no lock can be made here (see `errore`)
    };

    explicit BloccoFile(const QString &percorso) : percorso_(percorso) {}
    ~BloccoFile() { rilascia(); }
    BloccoFile(const BloccoFile &) = delete;
    BloccoFile &operator=(const BloccoFile &) = delete;

    Esito prendi();
    // Lets the lock go and removes the file (also done by the destructor).
    void rilascia();
    QString percorso() const { return percorso_; }
    // Why no lock could be made, in the system's words.
    QString errore() const { return errore_; }

private:
    static QByteArray chiLoTiene();

    QString percorso_;
    QString errore_;
    qintptr maniglia_ = -1; // the system's handle of the open lock file, -1 when none
};

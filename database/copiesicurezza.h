#pragma once
#include <QFileDevice>
#include <QString>
#include <QStringList>

class Messaggi;
class Orologio;
class QFile;

// Automatic backups of the timing database: whole copies of the file in the
// folder "backup" beside it, named saettinopro-AAAAMMGG-HHMMSS.mb (with "-2",
// "-3"... for more copies in the same second), the newest 30 kept. Loading one
// of them as a saved session is the way back. Works on a connection of its
// own, so it does not matter who else holds the file open.
class CopieSicurezza {
public:
    static constexpr int tenute = 30;

    CopieSicurezza(QString percorsoDatabase, Orologio &orologio);
    virtual ~CopieSicurezza() = default;
    CopieSicurezza(const CopieSicurezza &) = delete;
    CopieSicurezza &operator=(const CopieSicurezza &) = delete;

    QString cartella() const;
    // The copies in the folder, newest first; other files there are not ours.
    QStringList copie() const;

    // Copies the database as it stands: written under a temporary name,
    // read back and compared, then renamed into place; older copies beyond the
    // newest 30 go. Returns the new copy's path, or empty with the reason in
    // Italian in `errore` (nothing half-written is left behind).
    QString copia(QString *errore);
    // The same, telling the user when it fails; `seguito` says what happens
    // then (for example that the operation was not done).
    bool copiaOAvvisa(Messaggi &messaggi, const QString &seguito);
    // The copy made once at each start, after the database opened; a failure
    // is told and the program goes on.
    bool copiaAllAvvio(Messaggi &messaggi);

    // The Italian text for a failure of the file system.
    static QString motivo(QFileDevice::FileError errore, const QString &sistema);

protected:
    // Writes one block of the copy: empty when done, or why the disk refused it.
    virtual QString scrivi(QFile &copia, const QByteArray &blocco);

private:
    void sfoltisci(const QString &appenaFatta);

    QString percorso_;
    Orologio &orologio_;
};

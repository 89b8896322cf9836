#pragma once
#include <QString>

class QFileDevice;

// Which file a path leads to now: the device and the file's number on it, so a
// file deleted, or another one renamed or copied under the same name, is told
// from the one a connection opened.
struct IdentitaFile {
    bool esiste = false;
    quint64 dispositivo = 0;
    quint64 numero = 0;

    static IdentitaFile di(const QString &percorso);
    bool operator==(const IdentitaFile &) const = default;
};

namespace file {

// What was written to `file` (flushed already) goes to the disk itself, so that a
// copy renamed into place afterwards is whole after a power cut. False with the
// reason when the disk refuses; `pieno` says whether it is full.
bool sincronizza(QFileDevice &file, QString *errore, bool *pieno);

// Whether a file this program holds open may be deleted, or renamed over, by
// anyone meanwhile (Windows refuses both).
bool apertoSostituibile();

// A second name for the same file (a hard link). False where it cannot be made.
bool collegamentoFisso(const QString &esistente, const QString &nuovo);
// A named pipe at `percorso`; false where the file system has none.
bool creaFifo(const QString &percorso);
// A device that reads as an endless file ("/dev/zero"); empty where there is none.
QString dispositivoInfinito();

} // namespace file

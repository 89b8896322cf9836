#pragma once
#include <QString>

// Which file a path leads to now: the device and the file's number on it, so a
// file deleted, or another one renamed or copied under the same name, is told
// from the one a connection opened. Where the system gives no number the size
// alone is kept, and changes in place are left to the engine's data version.
struct IdentitaFile {
    bool esiste = false;
    quint64 dispositivo = 0;
    quint64 numero = 0;

    static IdentitaFile di(const QString &percorso);
    bool operator==(const IdentitaFile &) const = default;
};

#pragma once
#include <QString>
#include <functional>

// Where the timing database lives: beside the program when that folder takes
// new files, otherwise in the per-user data folder.
struct PosizioneArchivio {
    QString percorso; // the file the program uses
    QString origine;  // a file beside the program to copy to `percorso` first; empty when none
};

// Can the program write the file `percorso` (and its journal beside it)?
using VerificaScrittura = std::function<bool(const QString &percorso)>;
bool fileScrivibile(const QString &percorso);

// A database beside a program that cannot write there is never left behind:
// when the per-user folder has none yet, it is to be copied there.
PosizioneArchivio posizioneArchivio(const QString &cartellaProgramma, const QString &cartellaUtente,
                                    const VerificaScrittura &scrivibile = fileScrivibile);

// Copies through a temporary file and a rename, so a half-done copy is never
// taken for the database. False with the reason when it fails.
bool copiaArchivio(const QString &origine, const QString &destinazione, QString *errore);

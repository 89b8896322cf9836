#pragma once
#include "piattaforma/luoghi.h"

#include <QString>
#include <QStringList>
#include <functional>

// Where the timing database lives: beside the program when that folder is the
// user's own and takes new files, otherwise in the per-user data folder.
struct PosizioneArchivio {
    QString percorso; // the file the program uses
    QString origine;  // a file beside the program to copy to `percorso` first; empty when none
};

// Can the program write the file `percorso` (and its journal beside it)?
using VerificaScrittura = std::function<bool(const QString &percorso)>;
bool fileScrivibile(const QString &percorso);

// The rule, on paths alone: the database may live beside the program only
// when that folder is the user's own and neither is nor lies within a system
// folder. Names with a drive letter ("C:/Program Files") compare without case.
bool accantoAlProgramma(const QString &cartellaProgramma, const QStringList &cartelleSistema, bool dellUtente);

// Which folders are the system's and which the user's (see luoghi), for tests to change.
struct RegolaCartelle {
    QStringList sistema = luoghi::cartelleDiSistema();
    std::function<bool(const QString &cartella)> dellUtente = luoghi::cartellaDellUtente;
};

// Beside the program when the rule above allows it and the folder takes the
// file, otherwise in the per-user folder. A database beside a program that may
// not keep it there is never left behind: when the per-user folder has none
// yet, it is to be copied there.
PosizioneArchivio posizioneArchivio(const QString &cartellaProgramma, const QString &cartellaUtente,
                                    const VerificaScrittura &scrivibile = fileScrivibile,
                                    const RegolaCartelle &regola = {});

// Copies through a temporary file and a rename, so a half-done copy is never
// taken for the database. False with the reason when it fails.
bool copiaArchivio(const QString &origine, const QString &destinazione, QString *errore);

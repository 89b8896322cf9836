#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Where things are on this system.
namespace luoghi {

// Folders that never hold the database, whoever runs the program (root too):
// where the system and its packages put programs. On Linux /usr, /bin, /sbin
// and /opt; on Windows the Program Files folders and the Windows folder.
QStringList cartelleDiSistema();
// Whether the user running the program owns `cartella`; true where folders
// have no owner to ask (Windows, where the system folders decide).
bool cartellaDellUtente(const QString &cartella);
// The per-user data folder as the operator finds it, for the help text.
QString cartellaDatiDescritta();
// A file name as a C library opens it here: the system's encoding, or UTF-8
// where the library opens names with the wide calls.
QByteArray nomePerLibreriaC(const QString &percorso);

} // namespace luoghi

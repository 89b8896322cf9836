#include "piattaforma/luoghi.h"

namespace luoghi {

QStringList cartelleDiSistema()
{
    QStringList cartelle;
    for (const char *v : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"})
        if (const QString c = qEnvironmentVariable(v); !c.isEmpty()) cartelle.append(c);
    return cartelle;
}

bool cartellaDellUtente(const QString &) { return true; }

QString cartellaDatiDescritta() { return QStringLiteral("%APPDATA%\\SaettinoPro\\Saettino Professional\\"); }

// The spreadsheet library opens UTF-8 names with the wide calls.
QByteArray nomePerLibreriaC(const QString &percorso) { return percorso.toUtf8(); }

} // namespace luoghi

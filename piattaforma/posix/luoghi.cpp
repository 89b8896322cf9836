#include "piattaforma/luoghi.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace luoghi {

QStringList cartelleDiSistema()
{
    return {QStringLiteral("/usr"), QStringLiteral("/bin"), QStringLiteral("/sbin"), QStringLiteral("/opt")};
}

bool cartellaDellUtente(const QString &cartella)
{
    const QFileInfo info(cartella);
    return info.exists() && info.ownerId() == ::geteuid();
}

QString cartellaDatiDescritta() { return QStringLiteral("~/.local/share/SaettinoPro/Saettino Professional/"); }

QByteArray nomePerLibreriaC(const QString &percorso) { return QFile::encodeName(percorso); }

} // namespace luoghi

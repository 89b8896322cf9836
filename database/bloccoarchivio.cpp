#include "database/bloccoarchivio.h"
#include "comune/identita.h"

BloccoArchivio::BloccoArchivio(const QString &percorsoDatabase)
    : percorso_(percorsoDatabase + QStringLiteral(".lock")), blocco_(percorso_)
{
    // QLockFile would call a lock older than 30 s stale even while its program runs:
    // only a holder that no longer exists makes it stale.
    blocco_.setStaleLockTime(0);
}

bool BloccoArchivio::prendi()
{
    if (blocco_.isLocked() || blocco_.tryLock(0)) return true;
    return blocco_.error() != QLockFile::LockFailedError;
}

QString BloccoArchivio::testoOccupato()
{
    return QString::fromUtf8(identita::titolo) + QStringLiteral(" è già in esecuzione su questo archivio");
}

#pragma once
#include "database/copiesicurezza.h"

#include <functional>

// Backups on a disk the test controls: `guasto` runs before each block is
// written and, when it answers a reason, the disk refuses the block.
struct CopieFinte : CopieSicurezza {
    using CopieSicurezza::CopieSicurezza;
    std::function<QString()> guasto;

    static QString discoPieno() { return motivo(QFileDevice::ResourceError, QStringLiteral("No space left on device")); }

protected:
    QString scrivi(QFile &copia, const QByteArray &blocco) override
    {
        const QString rifiuto = guasto ? guasto() : QString();
        return rifiuto.isEmpty() ? CopieSicurezza::scrivi(copia, blocco) : rifiuto;
    }
};

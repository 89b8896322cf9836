#include "database/posizionearchivio.h"
#include "comune/identita.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

bool fileScrivibile(const QString &percorso)
{
    const QFileInfo file(percorso);
    // The engine writes its journal beside the file, so the folder itself must take new files.
    QTemporaryFile prova(QDir(file.absolutePath()).filePath(QStringLiteral(".prova-XXXXXX")));
    return prova.open() && (!file.exists() || file.isWritable());
}

PosizioneArchivio posizioneArchivio(const QString &cartellaProgramma, const QString &cartellaUtente,
                                    const VerificaScrittura &scrivibile)
{
    const QString nome = QString::fromUtf8(identita::fileDatabase);
    const QString accanto = QFileInfo(QDir(cartellaProgramma).filePath(nome)).absoluteFilePath();
    if (scrivibile(accanto)) return {accanto, {}};
    QDir().mkpath(cartellaUtente);
    const QString utente = QFileInfo(QDir(cartellaUtente).filePath(nome)).absoluteFilePath();
    const bool daCopiare = QFileInfo(accanto).isFile() && !QFileInfo::exists(utente);
    return {utente, daCopiare ? accanto : QString()};
}

namespace {
bool copia(const QString &origine, const QString &destinazione, QString *errore)
{
    QFile da(origine);
    QSaveFile a(destinazione);
    a.setDirectWriteFallback(false);
    bool ok = da.open(QIODevice::ReadOnly) && a.open(QIODevice::WriteOnly);
    while (ok && !da.atEnd()) {
        const QByteArray blocco = da.read(1 << 20);
        ok = !blocco.isEmpty() && a.write(blocco) == blocco.size();
    }
    if (ok && a.commit()) return true;
    if (errore) *errore = da.error() != QFileDevice::NoError ? da.errorString() : a.errorString();
    a.cancelWriting();
    return false;
}
} // namespace

bool copiaArchivio(const QString &origine, const QString &destinazione, QString *errore)
{
    // A journal left by a program that stopped mid-write goes first: the engine
    // rolls that write back when it finds both.
    const QString giornale = QStringLiteral("-journal");
    if (QFileInfo::exists(origine + giornale) && !copia(origine + giornale, destinazione + giornale, errore))
        return false;
    return copia(origine, destinazione, errore);
}

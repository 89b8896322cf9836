#include "app/posizionearchivio.h"
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

namespace {
bool conUnita(const QString &c) { return c.size() >= 2 && c[1] == QLatin1Char(':') && c[0].isLetter(); }
// A Windows name ("C:\\Program Files") reads the same on every system.
QString normale(QString cartella)
{
    if (conUnita(cartella)) cartella.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir::fromNativeSeparators(cartella));
}
} // namespace

bool accantoAlProgramma(const QString &cartellaProgramma, const QStringList &cartelleSistema, bool dellUtente)
{
    if (!dellUtente) return false;
    const QString programma = normale(cartellaProgramma);
    for (const QString &s : cartelleSistema) {
        QString radice = normale(s);
        if (radice.isEmpty()) continue;
        const Qt::CaseSensitivity maiuscole = conUnita(radice) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (!radice.endsWith(QLatin1Char('/'))) radice += QLatin1Char('/');
        if ((programma + QLatin1Char('/')).startsWith(radice, maiuscole)) return false;
    }
    return true;
}

PosizioneArchivio posizioneArchivio(const QString &cartellaProgramma, const QString &cartellaUtente,
                                    const VerificaScrittura &scrivibile, const RegolaCartelle &regola)
{
    const QString nome = QString::fromUtf8(identita::fileDatabase);
    const QString accanto = QFileInfo(QDir(cartellaProgramma).filePath(nome)).absoluteFilePath();
    // A link into a system folder counts as that folder.
    const QString vera = QFileInfo(cartellaProgramma).canonicalFilePath();
    const QString assoluta = QFileInfo(cartellaProgramma).absoluteFilePath();
    const bool permessa = accantoAlProgramma(assoluta, regola.sistema, regola.dellUtente(assoluta))
                       && (vera.isEmpty() || accantoAlProgramma(vera, regola.sistema, true));
    if (permessa && scrivibile(accanto)) return {accanto, {}};
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

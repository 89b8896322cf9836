#include "database/giriditesto.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

namespace giriDiTesto {

QString riservaNome(const QString &percorsoDatabase)
{
    static QMutex guardia;
    static QSet<QString> dati;
    const QFileInfo db(percorsoDatabase);
    const QString base = db.dir().filePath(
        QStringLiteral("%1-giri-non-salvati-%2")
            .arg(db.completeBaseName(), QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QMutexLocker blocco(&guardia);
    for (int n = 1;; ++n) {
        const QString nome = base + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".txt");
        if (dati.contains(nome) || QFileInfo::exists(nome)) continue;
        dati.insert(nome);
        return nome;
    }
}

QString riga(const GiroCompletato &g)
{
    return QStringList{g.pilota, QString::number(g.giroN), QString::number(double(g.tempoGiro), 'g', 9), g.tempo,
                       g.quando.date().toString(QStringLiteral("dd/MM/yyyy")),
                       g.quando.time().toString(QStringLiteral("H:m:s")), g.pista}
        .join(QLatin1Char(';'));
}

QString scrivi(const QString &nome, const QString &intestazione, const QStringList &righe)
{
    const QStringList tutte = QStringList{intestazione, QStringLiteral("pilota;giroN;tempoGiro;Tempo;Data;ora;pista")} + righe;
    const QByteArray testo = (tutte.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    const QStringList posti = {nome, QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation))
                                         .filePath(QFileInfo(nome).fileName())};
    for (const QString &posto : posti) {
        QSaveFile f(posto);
        if (f.open(QIODevice::WriteOnly) && f.write(testo) == testo.size() && f.commit()) return posto;
    }
    return {};
}

} // namespace giriDiTesto

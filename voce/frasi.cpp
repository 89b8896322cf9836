#include "voce/frasi.h"

#include "timing/tempotesto.h"

namespace {
// A voice reads "1,5" or "Rossi:" oddly; names are said as written, without a trailing colon.
QString nome(const QString &pilota)
{
    QString n = pilota.trimmed();
    while (n.endsWith(QLatin1Char(':'))) n.chop(1);
    return n.trimmed();
}

QString minuti(int m) { return m == 1 ? QStringLiteral("un minuto") : QStringLiteral("%1 minuti").arg(m); }
} // namespace

namespace frasi {

QString tempo(float secondi)
{
    // The window's own text, so the voice never reads a different thousandth.
    const QString t = testoTempo(secondi); // mm:ss,mmm (minutes may have more digits)
    const int duePunti = t.indexOf(QLatin1Char(':'));
    const int virgola = t.indexOf(QLatin1Char(','));
    const int m = t.left(duePunti).toInt();
    const int s = t.mid(duePunti + 1, virgola - duePunti - 1).toInt();
    if (m > 0) return s == 0 ? minuti(m) : QStringLiteral("%1 e %2").arg(minuti(m)).arg(s);
    QString millesimi = t.mid(virgola + 1);
    QString zeri;
    while (millesimi.size() > 1 && millesimi.startsWith(QLatin1Char('0'))) {
        zeri += QStringLiteral("zero ");
        millesimi.remove(0, 1);
    }
    if (millesimi == QLatin1String("0")) millesimi = QStringLiteral("zero");
    return QStringLiteral("%1 e %2%3").arg(s).arg(zeri, millesimi);
}

QString giro(const QString &pilota, int numero, float secondi)
{
    return QStringLiteral("%1, giro %2, %3").arg(nome(pilota)).arg(numero).arg(tempo(secondi));
}

QString migliorGiro(const QString &pilota, float secondi)
{
    return QStringLiteral("%1, miglior giro, %2").arg(nome(pilota), tempo(secondi));
}

QString giroVeloce(const QString &pilota, float secondi)
{
    return QStringLiteral("%1, giro più veloce, %2").arg(nome(pilota), tempo(secondi));
}

QString mancanoCinqueMinuti() { return QStringLiteral("mancano 5 minuti"); }
QString ultimoMinuto() { return QStringLiteral("ultimo minuto"); }
QString sessioneTerminata() { return QStringLiteral("sessione terminata"); }
QString sessioneIniziata() { return QStringLiteral("sessione iniziata"); }
QString prova() { return giro(QStringLiteral("Mario Rossi"), 3, 41.235f); }

} // namespace frasi

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

namespace {
// Places as said aloud: "primo" to "decimo", then the number.
QString posto(int n)
{
    static const char *const nomi[] = {"primo", "secondo", "terzo", "quarto", "quinto",
                                       "sesto", "settimo", "ottavo", "nono", "decimo"};
    return n >= 1 && n <= 10 ? QString::fromLatin1(nomi[n - 1]) : QStringLiteral("posizione %1").arg(n);
}
QString secondi(int s) { return s == 1 ? QStringLiteral("un secondo") : QStringLiteral("%1 secondi").arg(s); }
} // namespace

namespace frasi {

QString ultimoGiro(const QString &pilota) { return QStringLiteral("%1, ultimo giro").arg(nome(pilota)); }

QString bandieraScacchi(const QStringList &vincitori)
{
    if (vincitori.isEmpty()) return QStringLiteral("bandiera a scacchi");
    QStringList nomi;
    for (const QString &v : vincitori) nomi << nome(v);
    return QStringLiteral("bandiera a scacchi, %1 %2").arg(nomi.size() == 1 ? QStringLiteral("vince") : QStringLiteral("vincono"),
                                                          nomi.join(QStringLiteral(" e ")));
}

QString arrivato(const QString &pilota, int posizione)
{
    return QStringLiteral("%1, arrivato %2").arg(nome(pilota), posto(posizione));
}

QString falsaPartenza(int corsia) { return QStringLiteral("falsa partenza, corsia %1").arg(corsia); }
QString ripartenza() { return QStringLiteral("partenza annullata, si ripete la partenza"); }
QString partenzaTra(int s) { return s > 0 ? QStringLiteral("partenza tra %1").arg(secondi(s)) : QStringLiteral("partenza"); }
QString neutralizzazione() { return QStringLiteral("neutralizzazione, gara ferma"); }
QString ripresaTra(int s) { return s > 0 ? QStringLiteral("si riparte tra %1").arg(secondi(s)) : QStringLiteral("si riparte"); }
QString suCorsia(int corsia, const QString &pilota) { return QStringLiteral("corsia %1, %2").arg(corsia).arg(nome(pilota)); }

QString prossimaManche(int numero, const QStringList &corsie)
{
    return QStringLiteral("prossima manche: manche %1; %2").arg(numero).arg(corsie.join(QStringLiteral("; ")));
}

} // namespace frasi

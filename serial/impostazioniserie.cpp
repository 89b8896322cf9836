#include "serial/impostazioniserie.h"

#include <QStringList>

QString ImpostazioniSerie::testo() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(velocita).arg(parita).arg(datiBit).arg(stopBit);
}

bool analizzaSettings(const QString &testo, ImpostazioniSerie &risultato, QString &errore)
{
    const QStringList campi = testo.split(u',');
    if (campi.size() != 4) {
        errore = QStringLiteral("Impostazioni della porta non valide: \"%1\" (servono velocità, "
                                "parità, bit di dati e bit di stop separati da virgole, ad esempio 9600,n,8,1).")
                     .arg(testo);
        return false;
    }
    ImpostazioniSerie nuove;

    const QString velocita = campi[0].trimmed();
    bool numero = !velocita.isEmpty();
    for (QChar c : velocita) numero = numero && c.isDigit() && c.unicode() < 128;
    const qlonglong bps = numero ? velocita.toLongLong(&numero) : 0;
    if (!numero || bps <= 0 || bps > 4000000) {
        errore = QStringLiteral("Velocità della porta non valida: \"%1\".").arg(campi[0]);
        return false;
    }
    nuove.velocita = static_cast<qint32>(bps);

    const QString parita = campi[1].trimmed().toLower();
    if (parita.size() != 1 || !QStringLiteral("eonms").contains(parita[0])) {
        errore = QStringLiteral("Parità non valida: \"%1\" (ammesse e, o, n, m, s).").arg(campi[1]);
        return false;
    }
    nuove.parita = parita[0];

    const QString dati = campi[2].trimmed();
    if (dati.size() != 1 || dati[0] < u'4' || dati[0] > u'8') {
        errore = QStringLiteral("Bit di dati non validi: \"%1\" (ammessi da 4 a 8).").arg(campi[2]);
        return false;
    }
    nuove.datiBit = dati[0].unicode() - '0';

    const QString stop = campi[3].trimmed();
    if (stop != u"1" && stop != u"1.5" && stop != u"2") {
        errore = QStringLiteral("Bit di stop non validi: \"%1\" (ammessi 1, 1.5 e 2).").arg(campi[3]);
        return false;
    }
    nuove.stopBit = stop;

    risultato = nuove;
    return true;
}

CampiSettings dividiSettings(const QString &testo)
{
    const qsizetype l = testo.size();
    const qsizetype extra = testo.contains(u'.') ? 2 : 0;
    // One character at a 1-based position, nothing when it falls outside the text.
    const auto carattere = [&](qsizetype posizione) {
        return posizione >= 1 && posizione <= l ? testo.mid(posizione - 1, 1) : QString();
    };
    CampiSettings campi;
    campi.velocita = testo.left(qMax<qsizetype>(0, l - 6 - extra));
    campi.parita = carattere(l - 4 - extra);
    campi.datiBit = carattere(l - 2 - extra);
    campi.stopBit = testo.right(qMin<qsizetype>(l, 1 + extra));
    return campi;
}

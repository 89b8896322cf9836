#include "comune/nomi.h"

#include <QList>
#include <algorithm>

QString piegaCompleta(const QString &testo)
{
    const QString semplice = testo.toCaseFolded();
    if (std::all_of(semplice.begin(), semplice.end(), [](QChar c) { return c.unicode() < 0x80; })) return semplice;
    QString piegato;
    piegato.reserve(semplice.size() + 4);
    for (const char32_t c : semplice.toUcs4()) {
        if (c < 0x80) {
            piegato += QChar(c);
            continue;
        }
        const QString lettera = QString::fromUcs4(&c, 1);
        // The letters that fold into several have a capital of several (ß, ligatures, some
        // Greek and Armenian), or a small form of several (İ): those are folded from there.
        const QString maiuscola = lettera.toUpper();
        const QString minuscola = lettera.toLower();
        if (maiuscola.toUcs4().size() > 1) piegato += maiuscola.toCaseFolded();
        else if (minuscola.toUcs4().size() > 1) piegato += minuscola;
        else piegato += lettera;
    }
    return piegato;
}

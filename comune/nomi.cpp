#include "comune/nomi.h"

#include <QList>
#include <algorithm>

namespace {
// The letters that may fold into several (Unicode's SpecialCasing, stable by
// Unicode's policy): ß, İ, ŉ, ǰ, ΐ, ΰ, և, ẖ-ẚ, Greek with ypogegrammeni, ﬀ-ﬗ.
// Only these go through the slower look-up below.
bool forsePiuLettere(char32_t c)
{
    return c == 0xDF || c == 0x130 || c == 0x149 || c == 0x1F0 || c == 0x390 || c == 0x3B0 || c == 0x587
        || (c >= 0x1E96 && c <= 0x1E9A) || (c >= 0x1F50 && c <= 0x1FFC) || (c >= 0xFB00 && c <= 0xFB17);
}
} // namespace

QString piegaCompleta(const QString &testo)
{
    const QString semplice = testo.toCaseFolded();
    const auto ucs4 = semplice.toUcs4();
    if (std::none_of(ucs4.begin(), ucs4.end(), forsePiuLettere)) return semplice;
    QList<uint> piegato;
    piegato.reserve(ucs4.size() + 4);
    for (const uint c : ucs4) {
        if (!forsePiuLettere(c)) {
            piegato.append(c);
            continue;
        }
        // They fold as their capital of several letters (ß gives SS, ﬁ gives FI) or,
        // for İ, as its small form of two.
        const char32_t una = c;
        const QString lettera = QString::fromUcs4(&una, 1);
        const QString maiuscola = lettera.toUpper();
        const QString minuscola = lettera.toLower();
        if (maiuscola.toUcs4().size() > 1) piegato += maiuscola.toCaseFolded().toUcs4();
        else if (minuscola.toUcs4().size() > 1) piegato += minuscola.toUcs4();
        else piegato.append(c);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(piegato.constData()), piegato.size());
}

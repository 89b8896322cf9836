#include "rivelatore.h"

#include "voce/motori.h"

#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace rivelatore {
namespace {
constexpr int finestra = toni::campionamento / 100; // 10 ms: 100 Hz wide, narrower than a tone

// The level of `frequenza` over the last `finestra` samples, at every sample.
QVector<float> livello(const qint16 *x, qsizetype n, double frequenza)
{
    QVector<float> a(n);
    QVector<double> c(n), s(n);
    const double w = 2 * M_PI * frequenza / toni::campionamento;
    double sc = 0, ss = 0;
    for (qsizetype i = 0; i < n; ++i) {
        c[i] = x[i] * std::cos(w * double(i));
        s[i] = x[i] * std::sin(w * double(i));
        sc += c[i];
        ss += s[i];
        if (i >= finestra) {
            sc -= c[i - finestra];
            ss -= s[i - finestra];
        }
        a[i] = float(2 * std::hypot(sc, ss) / finestra);
    }
    return a;
}
} // namespace

QVector<qint64> inizi(const QVector<qint16> &registrazione, const QByteArray &modello, double frequenza)
{
    // The tone alone, then silence: its level, how soon it reaches half of it and for how long.
    QVector<qint16> tono(modello.size() / 2 + finestra, 0);
    std::memcpy(tono.data(), modello.constData(), size_t(modello.size()));
    const QVector<float> proprio = livello(tono.constData(), tono.size(), frequenza);
    const float soglia = *std::max_element(proprio.begin(), proprio.end()) / 2;
    const qsizetype anticipo = std::find_if(proprio.begin(), proprio.end(), [&](float v) { return v >= soglia; }) - proprio.begin();
    const qsizetype durata = std::count_if(proprio.begin(), proprio.end(), [&](float v) { return v >= soglia; });

    const QVector<float> a = livello(registrazione.constData(), registrazione.size(), frequenza);
    QVector<qint64> trovati;
    qsizetype sotto = 0; // where the level last fell below the threshold
    for (qsizetype i = 0; i < a.size();) {
        if (a[i] < soglia) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < a.size() && a[j] >= soglia) ++j;
        if (j - i >= durata * 3 / 5) {
            // The onset measured at half of this tone's own level, as for the model: a tone
            // played softer is found as early as a loud one.
            const float livelloProprio = *std::max_element(a.begin() + i, a.begin() + j);
            qsizetype k = std::max(sotto, i - finestra);
            while (a[k] < livelloProprio / 2) ++k;
            trovati << std::max<qint64>(0, k - anticipo);
        }
        i = sotto = j;
    }
    return trovati;
}
} // namespace rivelatore

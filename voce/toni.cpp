#include "voce/motori.h"

#include <QtMath>
#include <algorithm>
#include <cstring>

namespace toni {

QByteArray campioni(Tono tono)
{
    // Frequency (Hz) and length (s) of each: the start's beeps are long enough to hear over the cars.
    static const struct { double frequenza, durata; } forme[] = {{1760.0, 0.08}, {330.0, 0.25}, {880.0, 0.15}, {1760.0, 0.6}};
    const double frequenza = forme[int(tono)].frequenza;
    const double durata = forme[int(tono)].durata;
    const int n = int(durata * campionamento);
    const int rampa = int(0.005 * campionamento);
    QByteArray dati(n * int(sizeof(qint16)), Qt::Uninitialized);
    for (int k = 0; k < n; ++k) {
        const double inviluppo = std::min({1.0, double(k) / rampa, double(n - 1 - k) / rampa});
        const auto v = qint16(qRound(0.5 * 32767 * inviluppo * std::sin(2 * M_PI * frequenza * k / campionamento)));
        std::memcpy(dati.data() + k * sizeof(qint16), &v, sizeof v);
    }
    return dati;
}

} // namespace toni

#include "voce/prova/registratore.h"

#include "timing/orologio.h"
#include "voce/motori.h"

#include <QFile>
#include <QtEndian>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstring>

void Registratore::ricevi(const char *dati, qsizetype byte)
{
    const double ora = orologio_.adesso();
    const qsizetype n = byte / qsizetype(sizeof(qint16));
    if (n == 0) return;
    const qsizetype prima = campioni_.size();
    campioni_.resize(prima + n);
    std::memcpy(campioni_.data() + prima, dati, size_t(n) * sizeof(qint16));
    letture_.append({campioni_.size(), ora});
}

// The sink's clock and this one drift apart by a few parts in ten thousand:
// only the readings of the five seconds around the sample count.
double Registratore::istante(qint64 n) const
{
    const qint64 raggio = 5 * toni::campionamento;
    double origine = 1e300;
    for (const Lettura &l : letture_)
        if (l.campioni > n - raggio && l.campioni < n + raggio)
            origine = std::min(origine, l.ora - double(l.campioni) / toni::campionamento);
    return origine + double(n) / toni::campionamento;
}

bool Registratore::salva(const QString &percorso) const
{
    QFile f(percorso);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const quint32 byte = quint32(campioni_.size() * qsizetype(sizeof(qint16)));
    QByteArray testa;
    const auto u32 = [&](quint32 v) { v = qToLittleEndian(v); testa.append(reinterpret_cast<const char *>(&v), 4); };
    const auto u16 = [&](quint16 v) { v = qToLittleEndian(v); testa.append(reinterpret_cast<const char *>(&v), 2); };
    testa += "RIFF";
    u32(36 + byte);
    testa += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(toni::campionamento);
    u32(toni::campionamento * 2);
    u16(2);
    u16(16);
    testa += "data";
    u32(byte);
    return f.write(testa) == testa.size()
        && f.write(reinterpret_cast<const char *>(campioni_.constData()), byte) == qint64(byte);
}

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
    for (qsizetype i = 0; i < a.size();) {
        if (a[i] < soglia) {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < a.size() && a[j] >= soglia) ++j;
        if (j - i >= durata * 3 / 5) trovati << std::max<qint64>(0, i - anticipo);
        i = j;
    }
    return trovati;
}
} // namespace rivelatore

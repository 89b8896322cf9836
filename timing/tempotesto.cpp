#include "timing/tempotesto.h"

#include <cmath>

namespace {
// Zero-padded to `cifre` digits; a negative value keeps its sign in front.
template <typename T> QString riempi(T v, int cifre)
{
    const long long n = static_cast<long long>(v);
    const QString corpo = QString::number(std::llabs(n)).rightJustified(cifre, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + corpo : corpo;
}

// Every step stays in T on purpose: a lap text must show the clock's
// single-precision resolution, a total the exact sum of its laps.
template <typename T> struct Parti {
    T m, s, ms;
    explicit Parti(T t)
    {
        m = std::floor(t / T(60));
        const T resto = t - T(60) * m;
        s = std::floor(resto);
        ms = std::floor((resto - s) * T(1000));
    }
};

template <typename T> QString testoMinuti(T t)
{
    const Parti<T> p(t);
    return riempi(p.m, 2) + QLatin1Char(':') + riempi(p.s, 2) + QLatin1Char(',') + riempi(p.ms, 3);
}

template <typename T> qint64 millisecondi(T t)
{
    const Parti<T> p(t);
    return static_cast<qint64>(p.m) * 60000 + static_cast<qint64>(p.s) * 1000 + static_cast<qint64>(p.ms);
}
} // namespace

QString testoTempo(float t) { return testoMinuti(t); }
QString testoTempoDoppio(double t) { return testoMinuti(t); }
QString testoTempoTotale(double t) { return std::isfinite(t) ? testoMinuti(t) : QString(); }
qint64 millisecondiTempo(float t) { return millisecondi(t); }
qint64 millisecondiTempoDoppio(double t) { return millisecondi(t); }

QString testoTempoSessione(float t)
{
    const float m = std::floor(t / 60.0f);
    const float s = std::floor(t - 60.0f * m);
    return riempi(m, 2) + QLatin1Char(':') + riempi(s, 2);
}

QString avrSpeed(double t, int lunghezza)
{
    double v = (lunghezza / 1000.0) / (t / 3600.0);
    v = std::floor(v * 100.0) / 100.0;
    if (!std::isfinite(v)) v = 0;
    const QString testo = QString::number(v, 'g', 15);
    return v < 0 ? testo : QLatin1Char(' ') + testo;
}

double valoreIniziale(const QString &testo)
{
    int i = 0;
    const int n = testo.size();
    while (i < n && (testo[i] == QLatin1Char(' ') || testo[i] == QLatin1Char('\t'))) ++i;
    const int inizio = i;
    if (i < n && (testo[i] == QLatin1Char('+') || testo[i] == QLatin1Char('-'))) ++i;
    bool cifre = false;
    while (i < n && testo[i].isDigit() && testo[i].unicode() < 128) { ++i; cifre = true; }
    if (i < n && testo[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && testo[i].isDigit() && testo[i].unicode() < 128) { ++i; cifre = true; }
    }
    if (!cifre) return 0;
    return testo.mid(inizio, i - inizio).toDouble();
}

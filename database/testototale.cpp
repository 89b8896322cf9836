#include "database/testototale.h"

#include <cmath>

namespace {
QString riempi(double v, int cifre)
{
    const long long n = static_cast<long long>(v);
    const QString corpo = QString::number(std::llabs(n)).rightJustified(cifre, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + corpo : corpo;
}
} // namespace

QString testoTempoTotale(double t)
{
    if (!std::isfinite(t)) return QString();
    const double m = std::floor(t / 60.0);
    const double s = std::floor(t - 60.0 * m);
    const double ms = std::floor((t - 60.0 * m - s) * 1000.0);
    return riempi(m, 2) + QLatin1Char(':') + riempi(s, 2) + QLatin1Char(',') + riempi(ms, 3);
}

#include "serial/mappaorologio.h"

#include <algorithm>
#include <cmath>

namespace {
// A line needs this much time between its first and last exchange, and this many exchanges.
constexpr double arcoMinimo = 2.0;
constexpr size_t campioniMinimi = 4;
// A fitted rate further than this from the nominal one is a fault of the exchanges, not the device.
constexpr double scartoMassimo = 0.02;
} // namespace

MappaOrologio::MappaOrologio(double tickAlSecondo) : nominale_(tickAlSecondo), frequenza_(tickAlSecondo) {}

void MappaOrologio::impostaNominale(double tickAlSecondo)
{
    if (tickAlSecondo <= 0 || tickAlSecondo == nominale_) return;
    nominale_ = tickAlSecondo;
    if (!adattata_) frequenza_ = tickAlSecondo;
    rifai();
}

void MappaOrologio::nuovaOrigine()
{
    campioni_.clear();
}

void MappaOrologio::campione(int64_t tick, double da, double a)
{
    const Campione c{tick, (da + a) / 2, std::max(0.0, a - da)};
    const auto scompartoDi = [this](int64_t t) { return static_cast<int64_t>(std::floor(t / (scomparto * nominale_))); };
    const int64_t s = scompartoDi(tick);
    if (!campioni_.empty() && s == scompartoUltimo_) {
        if (c.giro < campioni_.back().giro) campioni_.back() = c;
    } else {
        campioni_.push_back(c);
        scompartoUltimo_ = s;
    }
    while (campioni_.size() > 1 && tick - campioni_.front().tick > finestra * nominale_) campioni_.pop_front();
    rifai();
}

void MappaOrologio::rifai()
{
    if (campioni_.empty()) return;
    const Campione *migliore = &campioni_.front();
    for (const Campione &c : campioni_)
        if (c.giro <= migliore->giro) migliore = &c;
    const double giroMinimo = migliore->giro;

    const Campione &ultimo = campioni_.back();
    const double arco = (ultimo.tick - campioni_.front().tick) / nominale_;
    if (campioni_.size() >= campioniMinimi && arco >= arcoMinimo) {
        // Weighted least squares, program time on device time: an exchange that took
        // longer than the best one says less about when the device read its clock.
        double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const Campione &c : campioni_) {
            const double e = c.giro - giroMinimo + 1e-4;
            const double w = 1.0 / (e * e);
            const double x = (c.tick - ultimo.tick) / nominale_, y = c.t - ultimo.t;
            sw += w;
            sx += w * x;
            sy += w * y;
            sxx += w * x * x;
            sxy += w * x * y;
        }
        const double mx = sx / sw, my = sy / sw;
        const double varianza = sxx / sw - mx * mx;
        const double pendenza = varianza > 0 ? (sxy / sw - mx * my) / varianza : 0;
        if (pendenza > 0 && std::abs(1 / pendenza - 1) < scartoMassimo) {
            frequenza_ = nominale_ / pendenza;
            adattata_ = true;
            tick0_ = ultimo.tick + static_cast<int64_t>(std::llround(mx * nominale_));
            t0_ = ultimo.t + my + (tick0_ - (ultimo.tick + mx * nominale_)) / frequenza_;
            return;
        }
    }
    // Not enough yet: the rate known (fitted before a restart, else nominal), through the best exchange.
    tick0_ = migliore->tick;
    t0_ = migliore->t;
}

double MappaOrologio::istante(int64_t tick) const
{
    return t0_ + (tick - tick0_) / frequenza_;
}

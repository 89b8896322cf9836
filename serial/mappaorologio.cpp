#include "serial/mappaorologio.h"

#include <algorithm>
#include <cmath>

namespace {
// A line needs this much time between its first and last exchange, and this many exchanges.
constexpr double arcoMinimo = 2.0;
constexpr size_t campioniMinimi = 8;
// A fitted rate further than this from the nominal one is a fault of the exchanges, not the device.
constexpr double scartoMassimo = 0.02;
// The usual shortest exchange: this share of them is shorter.
constexpr double quotaBreve = 0.25;
// How much an exchange's length may differ from the usual before it weighs half.
constexpr double tolleranzaGiro = 0.0003;
// Residuals within this (or 1.5 times their median, if more) count fully.
constexpr double scalaMinima = 0.0003;
constexpr int iterazioni = 4;

double quantile(std::vector<double> v, double q)
{
    const auto n = v.begin() + std::ptrdiff_t(q * double(v.size() - 1));
    std::nth_element(v.begin(), n, v.end());
    return *n;
}
} // namespace

MappaOrologio::MappaOrologio(double tickAlSecondo) : nominale_(tickAlSecondo), frequenza_(tickAlSecondo) {}

void MappaOrologio::impostaNominale(double tickAlSecondo)
{
    if (tickAlSecondo <= 0 || tickAlSecondo == nominale_) return;
    nominale_ = tickAlSecondo;
    if (!adattata_) frequenza_ = tickAlSecondo;
    if (!campioni_.empty()) rifai();
}

void MappaOrologio::nuovaOrigine()
{
    campioni_.clear();
}

void MappaOrologio::campione(int64_t tick, double da, double a)
{
    if (campioni_.empty()) {
        // A new line starts through this exchange.
        tick0_ = tick;
        t0_ = (da + a) / 2;
    }
    campioni_.push_back({tick, (da + a) / 2, a - da});
    while (tick - campioni_.front().tick > finestra * nominale_) campioni_.pop_front();
    rifai();
}

// The weight of each exchange against the line as it stands.
std::vector<double> MappaOrologio::pesi() const
{
    std::vector<double> giri, residui;
    giri.reserve(campioni_.size());
    residui.reserve(campioni_.size());
    for (const Campione &c : campioni_) {
        giri.push_back(c.giro);
        residui.push_back(std::abs(c.t - istante(c.tick)));
    }
    const double breve = quantile(giri, quotaBreve);
    const double scala = std::max(scalaMinima, 1.5 * quantile(residui, 0.5));
    std::vector<double> w(campioni_.size());
    for (size_t i = 0; i < campioni_.size(); ++i) {
        const double g = (campioni_[i].giro - breve) / tolleranzaGiro, r = residui[i] / scala;
        w[i] = 1.0 / ((1 + g * g) * (1 + r * r));
    }
    return w;
}

void MappaOrologio::rifai()
{
    const int64_t ultimo = campioni_.back().tick;
    const bool linea = campioni_.size() >= campioniMinimi && (ultimo - campioni_.front().tick) / nominale_ >= arcoMinimo;
    for (int i = 0; i < iterazioni; ++i) {
        const std::vector<double> w = pesi();
        // Around the latest exchange, in seconds: well conditioned however long the device has run.
        const double base = istante(ultimo);
        double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (size_t k = 0; k < campioni_.size(); ++k) {
            const double x = (campioni_[k].tick - ultimo) / nominale_, y = campioni_[k].t - base;
            sw += w[k];
            sx += w[k] * x;
            sy += w[k] * y;
            sxx += w[k] * x * x;
            sxy += w[k] * x * y;
        }
        const double mx = sx / sw, my = sy / sw, varianza = sxx / sw - mx * mx;
        double pendenza = nominale_ / frequenza_; // program seconds per nominal second
        if (linea && varianza > 0) {
            const double p = (sxy / sw - mx * my) / varianza;
            if (p > 0 && std::abs(1 / p - 1) < scartoMassimo) {
                pendenza = p;
                frequenza_ = nominale_ / p;
                adattata_ = true;
            }
        }
        // Until then the rate known, through the weighted middle of the exchanges.
        t0_ = base + my - pendenza * mx;
        tick0_ = ultimo;
    }
}

double MappaOrologio::istante(int64_t tick) const
{
    return t0_ + (tick - tick0_) / frequenza_;
}

#pragma once
#include <cstdint>
#include <deque>
#include <vector>

// Turns the timing device's clock (ticks counted since its start) into the
// program's (seconds, as Orologio gives them), from the exchanges of the poll:
// each reply carries the device's time when the request arrived, which lies
// somewhere between the request written and the reply read. A minute of
// exchanges is kept and a line drawn through them by weighted least squares,
// giving the offset and the device's true rate (a ceramic resonator is off by
// up to 0.5 %). The exchanges that took the usual shortest time weigh most:
// a longer one was held up on the way, and one much shorter than usual comes
// from a device that was itself running late (it then catches up faster than
// the line). Exchanges far off the line weigh little, whatever their length.
// Until a line can be drawn, the rate known (nominal, or learned before a
// restart) is anchored to the best exchanges. A lap is a difference of two
// mapped stamps, so only the rate and the line's steadiness enter it.
class MappaOrologio {
public:
    explicit MappaOrologio(double tickAlSecondo = 2'000'000.0);

    // The device's own word on its rate, from its identification.
    void impostaNominale(double tickAlSecondo);
    // One exchange: the device read `tick` between `da` and `a`, program seconds,
    // already corrected for the bytes on the wire either way.
    void campione(int64_t tick, double da, double a);
    // The device started again from 0: its exchanges so far are void, the rate learned stays.
    void nuovaOrigine();

    bool pronta() const { return !campioni_.empty(); }
    double istante(int64_t tick) const;
    // Ticks per second of the program's clock: fitted, learned before a restart, or nominal.
    double tickAlSecondo() const { return frequenza_; }
    bool adattata() const { return adattata_; }

    static constexpr double finestra = 60.0; // seconds of exchanges kept

private:
    struct Campione {
        int64_t tick;
        double t;    // middle of the exchange
        double giro; // its length beyond the bytes on the wire
    };
    void rifai();
    std::vector<double> pesi() const;

    std::deque<Campione> campioni_; // oldest first
    double nominale_;
    double frequenza_;
    bool adattata_ = false;
    // The line: instant = t0_ + (tick - tick0_) / frequenza_.
    int64_t tick0_ = 0;
    double t0_ = 0;
};

#pragma once
#include <QDateTime>
#include <functional>

// The session's time base. An instant is in seconds since midnight of the day
// the program started, in double precision, and only ever moves forward; lap
// durations are differences of two instants, kept in single precision.
class Orologio {
public:
    virtual ~Orologio() = default;
    // The current instant. The system clock may be read from any thread.
    virtual double adesso() = 0;
    // Date and time of day, for the stored lap rows.
    virtual QDateTime dataOra() = 0;
};

// Instants from a monotonic source, anchored once at start to the wall clock:
// a time sync or a daylight-saving change during a session bends no lap.
class OrologioSistema : public Orologio {
public:
    using Monotono = std::function<qint64()>;  // nanoseconds from any fixed origin, never backwards
    using Muro = std::function<QDateTime()>;   // the wall clock

    OrologioSistema();
    OrologioSistema(Monotono monotono, Muro muro);
    double adesso() override;
    QDateTime dataOra() override;

private:
    Monotono monotono_;
    Muro muro_;
    qint64 origine_ = 0; // monotonic reading at the anchor
    double ancora_ = 0;  // seconds since midnight at the anchor
};

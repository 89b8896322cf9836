#pragma once
#include <QDateTime>

// The session's time base: seconds since midnight, single precision.
class Orologio {
public:
    virtual ~Orologio() = default;
    // Seconds since midnight of the day the program started, with a fraction;
    // past midnight it goes on beyond 86,400 so a session never runs backwards.
    virtual float adesso() = 0;
    // Date and time of day, for the stored lap rows.
    virtual QDateTime dataOra() = 0;
};

class OrologioSistema : public Orologio {
public:
    OrologioSistema();
    float adesso() override;
    QDateTime dataOra() override;
    // Seconds of `ora` counted from midnight of `giornoAvvio`.
    static float secondiDa(const QDate &giornoAvvio, const QDateTime &ora);

private:
    QDate giornoAvvio_;
};

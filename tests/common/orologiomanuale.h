#pragma once
#include "timing/orologio.h"

// A clock the test moves by hand.
struct OrologioManuale : Orologio {
    explicit OrologioManuale(double inizio = 36000.0, QDateTime data = QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0)))
        : ora_(inizio), data_(data) {}
    double adesso() override { return ora_; }
    QDateTime dataOra() override { return data_; }
    void imposta(double secondi) { ora_ = secondi; }
    void avanza(double secondi) { ora_ += secondi; }
    void impostaData(const QDateTime &d) { data_ = d; }

private:
    double ora_;
    QDateTime data_;
};

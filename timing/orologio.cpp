#include "timing/orologio.h"

OrologioSistema::OrologioSistema() : giornoAvvio_(QDate::currentDate()) {}

float OrologioSistema::adesso() { return secondiDa(giornoAvvio_, QDateTime::currentDateTime()); }

float OrologioSistema::secondiDa(const QDate &giornoAvvio, const QDateTime &ora)
{
    const qint64 giorni = giornoAvvio.daysTo(ora.date());
    const double secondi = giorni * 86400.0 + ora.time().msecsSinceStartOfDay() / 1000.0;
    return static_cast<float>(secondi);
}

QDateTime OrologioSistema::dataOra() { return QDateTime::currentDateTime(); }

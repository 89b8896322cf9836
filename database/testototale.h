#pragma once
#include <QString>

// Time text of a total in seconds ("60:00,500"), computed in double precision:
// totals are sums of many single-precision laps and need the wider type to be
// cut to the right millisecond.
QString testoTempoTotale(double t);

#pragma once
#include <QString>

// minutes:seconds,milliseconds, truncated in single precision ("01:23,456").
QString testoTempo(float t);
// The same text computed in double precision, for totals of many laps.
QString testoTempoDoppio(double t);
// A total in seconds as the standings store it ("60:00,500"): double precision,
// since totals are sums of many single-precision laps and need the wider type to
// be cut to the right millisecond; empty for a value that is not a number.
QString testoTempoTotale(double t);
// The whole milliseconds those texts show (83.456 -> 83456), for a spreadsheet's durations.
qint64 millisecondiTempo(float t);
qint64 millisecondiTempoDoppio(double t);
// minutes:seconds for the session clock ("12:05").
QString testoTempoSessione(float t);
// Speed of a lap of t seconds on a track of `lunghezza` metres, cut to two
// decimals, with a leading blank when not negative (" 53.71").
QString avrSpeed(double t, int lunghezza);
// The leading number of a text, "." as decimal point; 0 when there is none.
double valoreIniziale(const QString &testo);

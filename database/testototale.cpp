#include "database/testototale.h"

#include "timing/tempotesto.h"

#include <cmath>

QString testoTempoTotale(double t) { return std::isfinite(t) ? testoTempoDoppio(t) : QString(); }

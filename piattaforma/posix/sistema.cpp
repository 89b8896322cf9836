#include "piattaforma/sistema.h"

#include <cstdio>

namespace sistema {

bool sottoWine() { return false; }

void scriviSulTerminale(const QString &testo)
{
    std::fputs(testo.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace sistema

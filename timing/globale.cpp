#include "timing/globale.h"

Globale &globale()
{
    static Globale g;
    return g;
}

#pragma once
#include <QPixmap>

// Pictures drawn in code, so the executable carries them without resource files.
QPixmap iconaProgramma();  // 34 x 38: a stopwatch
QPixmap lampadaVerde();    // 16 x 16: line of the timing device active
QPixmap lampadaRossa();    // 16 x 16: line idle

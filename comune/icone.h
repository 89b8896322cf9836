#pragma once
#include <QPixmap>

class QPainter;

// Pictures drawn in code, so the executable carries them without resource files.
QPixmap iconaProgramma();  // 34 x 38: a stopwatch
QPixmap lampadaVerde();    // 16 x 16: line of the timing device active
QPixmap lampadaRossa();    // 16 x 16: line idle
// The stopwatch in its 34 x 38 units on any painter: the window icon and the
// installed icon files (SVG and PNG, made at build time) all come from here.
void disegnaIconaProgramma(QPainter &g);

#pragma once
#include <QString>

// Values of the session that several windows share: written by the start
// window, read by the timing window and the lap store.
struct Globale {
    QString nomePista;
    qint16 lunghezzaPista = 0;
};

// The one instance for the whole run.
Globale &globale();

#pragma once
#include "web/statopagina.h"

#include <QPair>
#include <QString>
#include <QVector>

class DirezioneGara;

// What race control shows at a glance, as texts: the event, the heat on the
// lanes and its state, what remains, the live ranking, and the heat to come.
// The timing window's panel and the live page both show it.
struct ProspettoGara {
    struct Riga {
        int posizione = 0;
        int corsia = 0; // 1 to 8
        QString pilota;
        int giri = 0;
        QString stato, migliorGiro, note;
    };
    QString gara;        // empty: no event in use
    QString manche;      // "Manche 3 di 10 - Gara a giri, 10 giri"
    QString stato;       // "In attesa del via", "Partenza", "In corso", ...
    QString rimanente;
    QVector<Riga> classifica;
    // "Next up": between heats and while the heat waits for its start.
    bool mostraProssima = false;
    QString titoloProssima, regoleProssima;
    QVector<QPair<int, QString>> prossimi; // lane from 0, driver
};

ProspettoGara prospetto(const DirezioneGara &direzione);
FotoGara fotoGara(const ProspettoGara &prospetto);

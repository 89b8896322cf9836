#pragma once
#include "timing/archivio.h"

#include <QHash>
#include <QList>

// Records what the timing core hands to the lap store.
struct ArchivioFinto : ArchivioGiri {
    QHash<QString, int> giriGiaMemorizzati;
    QList<GiroCompletato> giri;
    QList<float> giriVeloci;

    int contaGiri(const QString &pilota) override { return giriGiaMemorizzati.value(pilota); }
    void scriviGiroVeloce(float tempo) override { giriVeloci.append(tempo); }
    void memorizza(const GiroCompletato &giro) override { giri.append(giro); }
};

struct TabelleFinte : Tabelle {
    int aggiornamenti = 0;
    void aggiornaTabella() override { ++aggiornamenti; }
};

#pragma once
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QVector>

// One completed lap as the lap store receives it.
struct GiroCompletato {
    QString pilota;   // caption of the lane frame
    int giroN = 0;    // the driver's lap number
    float tempoGiro = 0; // seconds
    QString tempo;    // the same duration as time text
    QString pista;    // the session's track
    QDateTime quando; // when the lap was completed
    double istante = 0;      // the crossing that ended it, clock time (Orologio::adesso)
    bool stampato = false;   // that instant was stamped by the timing device, not taken on arrival
    qint64 manche = 0;       // the heat of a race it belongs to; 0 outside races
};

// What the file holds for a driver once race control deleted one of the
// driver's laps or merged it into the next one.
struct CorrezioneGiri {
    QString pilota;
    int giroTolto = 0;          // the lap number that is gone (the later laps moved down); 0 when none
    QVector<float> tempiTolti;  // times no longer stored: the deleted lap, or the two merged
    QMap<int, float> giri;      // the driver's laps now stored, by lap number
    float giroPiuVeloce = 0;    // the fastest lap now stored, any driver; 0 when none
};

// Where the timing core hands its laps; the database implements it.
class ArchivioGiri {
public:
    virtual ~ArchivioGiri() = default;
    // Highest lap number stored for the driver, 0 when none.
    virtual int contaGiri(const QString &pilota) = 0;
    // A new fastest lap of the session.
    virtual void scriviGiroVeloce(float tempo) = 0;
    virtual void memorizza(const GiroCompletato &giro) = 0;
};

// The result grids: refreshed after every mark.
class Tabelle {
public:
    virtual ~Tabelle() = default;
    virtual void aggiornaTabella() = 0;
};

#pragma once
#include "database/risultati.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

class Sessione;

// The race on the lanes as the page shows it; all empty in practice.
struct FotoGara {
    struct Posto {
        int posizione = 0;
        int corsia = 0;  // 1 to 8
        QString pilota;
        int giri = 0;
        QString stato;   // "In gara", "Ultimo giro", "Arrivato", ...
        bool operator==(const Posto &) const = default;
    };
    QString gara;        // the event's name; empty when no race is on
    QString manche;      // "Manche 3 di 10 - Gara a giri, 10 giri"
    QString stato;       // "In attesa del via", "Partenza", "In corso", "Neutralizzazione", "Bandiera a scacchi", "Conclusa"
    QString rimanente;   // "Mancano 4 giri", "Tempo rimasto 02:31"
    QVector<Posto> classifica;
    QString prossima;        // "Manche 4"
    QStringList prossimiPiloti; // "Corsia 1: Mario Rossi"
    bool operator==(const FotoGara &) const = default;
};

// What the timing window shows of the session, copied on the window's thread
// for the live results page, which is served from a thread of its own.
struct FotoSessione {
    struct Corsia {
        int numero = 0; // 1 to 8, as on the lane's frame
        QString pilota;
        int giri = 0;
        QString ultimoGiro, migliorGiro;
        bool operator==(const Corsia &) const = default;
    };
    QString pista;
    QString tempoSessione = QStringLiteral("00:00");
    QString stato;          // "In attesa del via", "In corso", "In pausa", "Terminata"
    QVector<Corsia> corsie; // the lanes in use
    FotoGara gara;
    bool operator==(const FotoSessione &) const = default;
};

Q_DECLARE_METATYPE(FotoSessione)

FotoSessione fotografa(const Sessione &sessione, const QString &pista);

// Everything the page shows: the session as the window has it and the
// results of the lap store's last commit.
struct StatoPagina {
    FotoSessione sessione;
    Risultati risultati;
};

namespace pagina {

// One row of the standings as the page shows it.
struct Posto {
    int posizione = 0;
    QString pilota;
    qint64 giri = 0;
    QString tempoTotale, migliorGiro;
    QString distacco; // "" for the leader, "+00:01,250" on the same laps, "+2 giri" behind
};
QVector<Posto> classifica(const Risultati &r);

// The state as JSON: the answer of /api/stato and the data of every event.
QByteArray json(const StatoPagina &stato);
// The whole page filled in with the state, so a browser without scripts shows it too.
QByteArray html(const StatoPagina &stato);
// The Content-Security-Policy of every answer: only the page's own script and style run.
QByteArray politicaSicurezza();

} // namespace pagina

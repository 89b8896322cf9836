#pragma once
#include "database/risultati.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVector>

class Sessione;

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

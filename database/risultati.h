#pragma once
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Database;

// The rows of one record source: field names, then the records in order.
struct TabellaDati {
    QStringList campi;
    QVector<QVector<QVariant>> righe;
};

// One driver of the standings with what the live results page adds to the grid's row.
struct PilotaInClassifica {
    QString pilota;
    qint64 giri = 0;
    QString tempoTotale;  // the standings' time text
    double totale = 0;    // the same total in seconds, for the gap to the leader
    QString migliorGiro;  // the stored time text of the driver's fastest lap, empty when none
};

// What the two result grids show, read in one go from the database.
struct Risultati {
    quint64 numero = 0;      // grows with every reading, so an older one never replaces a newer one
    bool aperto = true;      // false: no database to read from (its failure was reported already)
    QString errore;          // the reason, in Italian, when the reading failed
    TabellaDati classifica;  // the standings table TempoTotale, in standings order
    TabellaDati giriVeloci;  // Sunto2, the five fastest laps
    // The standings in the same order with totals in seconds and best laps: read
    // only while someone asks for them (the live results page).
    bool conDettaglio = false;
    QVector<PilotaInClassifica> dettaglio;
};
Q_DECLARE_METATYPE(Risultati)

// The grids' two record sources read on `db`. Throws ErroreDatabase.
Risultati leggiRisultati(Database &db);
// The standings of TempoTotale, in order, with the totals in seconds and each
// driver's fastest lap (one index seek per driver). Throws ErroreDatabase.
QVector<PilotaInClassifica> leggiDettaglio(Database &db);
// Every row of a query, parameters bound in order, with its field names. Throws ErroreDatabase.
TabellaDati leggiTabella(Database &db, const QString &sql, const QVariantList &parametri = {});

// Where the grids get their data from: the database itself, or the lap
// store's writer, which reads them right after its own commits.
class FonteRisultati {
public:
    virtual ~FonteRisultati() = default;
    // Never throws: a failure comes back in `errore`.
    virtual Risultati leggiRisultati() = 0;
};

// Reads on a connection of the calling thread.
class FonteDiretta : public FonteRisultati {
public:
    explicit FonteDiretta(Database &db) : db_(db) {}
    Risultati leggiRisultati() override;

private:
    Database &db_;
    quint64 numero_ = 0;
};

#pragma once
#include "database/risultati.h"
#include "results/modelloquery.h"
#include "timing/archivio.h"

#include <QObject>
#include <memory>

class Database;
class Messaggi;
class QTableView;

// The two result grids of the timing window: the standings (MSFlexGrid1 over
// the table "TempoTotale") and the five fastest laps (MSFlexGrid2 over the
// stored query "Sunto2"). They show what a reading of the database gave: one
// asked for by `aggiornaTabella`, or one the lap store sends after a commit.
class GriglieRisultati : public QObject, public Tabelle {
    Q_OBJECT
public:
    // Reading straight from `db` on this thread.
    GriglieRisultati(Database &db, Messaggi &messaggi, QTableView *griglia1, QTableView *griglia2,
                     QObject *parent = nullptr);
    // Reading through `fonte`, which must outlive the grids.
    GriglieRisultati(FonteRisultati &fonte, Messaggi &messaggi, QTableView *griglia1, QTableView *griglia2,
                     QObject *parent = nullptr);

    // Reads both record sources again, shows them, then lays the grids out as `tabella`.
    void aggiornaTabella() override;
    // Column widths and alignments only.
    void tabella();
    // A reading that arrived from elsewhere: shown at the next turn of the event
    // loop, once however many arrive meanwhile, unless a newer one is shown already.
    void ricevi(const Risultati &risultati);

    ModelloQuery &classifica() { return classifica_; }
    ModelloQuery &giriVeloci() { return giriVeloci_; }

private:
    GriglieRisultati(std::unique_ptr<FonteRisultati> propria, FonteRisultati *altra, Messaggi &messaggi,
                     QTableView *griglia1, QTableView *griglia2, QObject *parent);
    void mostra(const Risultati &r);

    std::unique_ptr<FonteRisultati> propria_;
    FonteRisultati &fonte_;
    Messaggi &messaggi_;
    QTableView *griglia1_;
    QTableView *griglia2_;
    ModelloQuery classifica_;
    ModelloQuery giriVeloci_;
    quint64 mostrato_ = 0;     // number of the reading on screen
    Risultati inArrivo_;
    bool programmato_ = false;
};

#pragma once
#include "results/modelloquery.h"
#include "timing/archivio.h"

#include <QObject>

class Database;
class Messaggi;
class QTableView;

// The two result grids of the timing window: the standings (MSFlexGrid1 over
// the table "TempoTotale") and the five fastest laps (MSFlexGrid2 over the
// stored query "Sunto2"), both read from the one open timing database.
class GriglieRisultati : public QObject, public Tabelle {
    Q_OBJECT
public:
    static constexpr const char *sorgenteClassifica =
        "SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid";
    static constexpr const char *sorgenteGiriVeloci = "SELECT * FROM Sunto2";

    GriglieRisultati(Database &db, Messaggi &messaggi, QTableView *griglia1, QTableView *griglia2,
                     QObject *parent = nullptr);

    // Re-runs both record sources, then lays the grids out as `tabella`.
    void aggiornaTabella() override;
    // Column widths and alignments only.
    void tabella();

    ModelloQuery &classifica() { return classifica_; }
    ModelloQuery &giriVeloci() { return giriVeloci_; }

private:
    Database &db_;
    Messaggi &messaggi_;
    QTableView *griglia1_;
    QTableView *griglia2_;
    ModelloQuery classifica_;
    ModelloQuery giriVeloci_;
};

#pragma once
#include "results/modelloquery.h"

#include <QDialog>
#include <QStringList>

class Database;
class Messaggi;
class QComboBox;
class QPushButton;
class QTableView;

// The laps of one driver, read from the stored query Sunto. The typed name is
// a pattern: "*" stands for any run of characters, "?" for any one character,
// letters match regardless of case in every alphabet (both sides folded), and
// an empty text matches only laps with an empty name.
class TempiPiloti {
public:
    static constexpr const char *sqlPiloti = "SELECT Pilota FROM Sunto GROUP BY Pilota";
    static constexpr const char *sqlGiri =
        "SELECT Pilota, Giro, Tempo FROM Sunto WHERE piega(pilota) LIKE piega(?) ESCAPE '\\'";

    TempiPiloti(Database &db, Messaggi &messaggi);

    // The drivers in the order the engine groups them; a Null name lists as empty.
    // An engine error is shown and gives an empty list.
    QStringList piloti();
    // Shows the laps matching `testo`; an engine error is shown and empties the grid.
    void caricatabella(const QString &testo);

    // "*" and "?" become the engine's "%" and "_", whose own meaning is escaped.
    static QString modelloLike(const QString &testo);

    ModelloQuery &modello() { return modello_; }

private:
    Database &db_;
    Messaggi &messaggi_;
    ModelloQuery modello_;
};

// The window "Tempi Pilota": a driver list, the grid of that driver's laps and "Aggiorna".
class Visualtempi : public QDialog {
    Q_OBJECT
public:
    Visualtempi(Database &db, Messaggi &messaggi, QWidget *parent = nullptr);

    // Fills the list, preselects the first driver and shows its laps.
    void inizializza();
    void combo();
    void caricatabella();

    TempiPiloti &tempi() { return tempi_; }
    QTableView *msFlexGrid1() const { return msFlexGrid1_; }
    QComboBox *piloticmb() const { return piloticmb_; }
    QPushButton *command1() const { return command1_; }

private:
    TempiPiloti tempi_;
    QTableView *msFlexGrid1_ = nullptr;
    QComboBox *piloticmb_ = nullptr;
    QPushButton *command1_ = nullptr;
};

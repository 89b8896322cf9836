#pragma once
#include "database/correzionigiri.h"
#include "results/modelloquery.h"

#include <QDialog>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class Database;
class Messaggi;
class QAction;
class QComboBox;
class QPushButton;
class QTableView;

// The laps of one driver, read from the stored query Sunto. The typed name is
// a pattern: "*" stands for any run of characters, "?" for any one character,
// letters match regardless of case in every alphabet (both sides folded), and
// an empty text matches only laps with an empty name.
// A lap of the grid can also be deleted or merged into the driver's next one.
class TempiPiloti {
public:
    // Work on the lap writer's connection, in order with the laps: `poi` is told
    // whether it was done (with the reason when not) once the writer answered.
    using Esecutore = std::function<void(std::function<void(Database &)> lavoro,
                                         std::function<void(bool fatto, const QString &errore)> poi)>;

    static constexpr const char *sqlPiloti = "SELECT Pilota FROM Sunto GROUP BY Pilota";
    static constexpr const char *sqlGiri =
        "SELECT Pilota, Giro, Tempo FROM Sunto WHERE piega(pilota) LIKE piega(?) ESCAPE '\\'";

    TempiPiloti(Database &db, Messaggi &messaggi);

    // How long a reading of the viewer waits for a lock (a commit of the lap writer
    // takes less): the window's thread is never held up longer.
    static constexpr int attesaMs = 40;
    Database &db() { return db_; }

    // The drivers in the order the engine groups them; a Null name lists as empty.
    // An engine error is shown and gives an empty list.
    QStringList piloti();
    // Shows the laps matching `testo`; an engine error is shown and empties the grid.
    void caricatabella(const QString &testo);

    // Corrections run through `esegui` and are then handed to `seguito` (the
    // session, whose lanes follow). Without them the viewer only shows.
    void impostaCorrezioni(Esecutore esegui, std::function<void(const CorrezioneGiri &)> seguito);
    bool correzioniAttive() const { return bool(esegui_); }
    // The lap shown in a row of the grid.
    std::optional<GiroScelto> giro(int riga) const;
    // A later lap of the same driver is shown, so the row's lap can be merged into it.
    bool unibile(int riga) const;
    // Asks the operator, then has the row's lap merged or deleted and shows the
    // laps again once that is done; the window waits for nothing meanwhile.
    // True when the file was changed, or the change is under way.
    bool correggi(int riga, correzioni::Tipo tipo);

    // "*" and "?" become the engine's "%" and "_", whose own meaning is escaped.
    static QString modelloLike(const QString &testo);

    ModelloQuery &modello() { return modello_; }

private:
    // The row after `riga` holding the same driver's next lap, -1 when none.
    int successivo(int riga) const;

    Database &db_;
    Messaggi &messaggi_;
    ModelloQuery modello_;
    QVector<GiroScelto> giri_; // row by row, as the grid shows them
    QString testo_;            // the text the grid was last loaded with
    Esecutore esegui_;
    std::function<void(const CorrezioneGiri &)> seguito_;
    std::shared_ptr<int> vivo_ = std::make_shared<int>(); // gone with this: a later answer leaves the grid alone
};

// The window "Tempi Pilota": a driver list, the grid of that driver's laps and "Aggiorna".
// The grid's context menu (and its keys) merges or deletes the chosen lap.
class Visualtempi : public QDialog {
    Q_OBJECT
public:
    Visualtempi(Database &db, Messaggi &messaggi, QWidget *parent = nullptr);

    // Fills the list, preselects the first driver and shows its laps.
    void inizializza();
    // The same only when the file can be read now: false, having read nothing,
    // while another program holds it. Nothing here waits for its lock.
    bool inizializzaSenzaAttesa();
    void combo();
    void caricatabella();

    TempiPiloti &tempi() { return tempi_; }
    QTableView *msFlexGrid1() const { return msFlexGrid1_; }
    QComboBox *piloticmb() const { return piloticmb_; }
    QPushButton *command1() const { return command1_; }
    QAction *unisci() const { return unisci_; }
    QAction *elimina() const { return elimina_; }

private:
    void disponi();
    void aggiornaAzioni();
    void correggi(correzioni::Tipo tipo);

    TempiPiloti tempi_;
    QAction *unisci_ = nullptr;
    QAction *elimina_ = nullptr;
    QTableView *msFlexGrid1_ = nullptr;
    QComboBox *piloticmb_ = nullptr;
    QPushButton *command1_ = nullptr;
};

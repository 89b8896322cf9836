#pragma once
#include "gara/archiviogara.h"
#include "results/stampagara.h"

#include <QDialog>
#include <array>

class DirezioneGara;
class GestioneGare;
class Messaggi;
class Orologio;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

// "Gara": the events of the file, each with its details and lanes, its entry
// list, its heat schedule (made by the program, reordered or changed by hand,
// printed before the start), its results and race control's trail. A view
// over GestioneGare; "Corri la manche" hands the heat to race control.
class FinestraGara : public QDialog {
    Q_OBJECT
public:
    enum Scheda { SchedaGara, SchedaIscritti, SchedaProgramma, SchedaRisultati, SchedaRegistro };

    // `direzione`: race control, whose event's penalties are shown live (may be null).
    FinestraGara(GestioneGare &gestione, DirezioneGara *direzione, Orologio &orologio, Messaggi &messaggi,
                 QWidget *parent = nullptr);

    // Opens on this event (0: the newest) and tab.
    void apri(qint64 gara, Scheda scheda = SchedaGara);

    QComboBox *gare() const { return gareCmb_; }
    QTabWidget *schede() const { return schede_; }
    QLineEdit *nome() const { return nome_; }
    QDateEdit *data() const { return data_; }
    QComboBox *tipo() const { return tipo_; }
    QLineEdit *valore() const { return valore_; }
    QLineEdit *grazia() const { return grazia_; }
    QComboBox *campionato() const { return campionato_; }
    QComboBox *falsaPartenza() const { return falsa_; }
    QCheckBox *corsia(int k) const { return corsie_[k]; }
    QLineEdit *nomeIscritto() const { return nomeIscritto_; }
    QLineEdit *vettura() const { return vettura_; }
    QLineEdit *club() const { return club_; }
    QTableWidget *iscritti() const { return iscrittiTbl_; }
    QTableWidget *programma() const { return programmaTbl_; }
    QTableWidget *risultato() const { return risultatoTbl_; }
    QComboBox *mancheRisultato() const { return mancheCmb_; }
    QTableWidget *risultatoManche() const { return mancheTbl_; }
    QTableWidget *registro() const { return registroTbl_; }
    QPushButton *pulsante(const QString &nome) const;

    // The schedule as the table shows it now: the heats still to run, drivers as entry positions.
    // Nothing, with the reason, when a cell names no entry.
    std::optional<gara::Programma> programmaMostrato(QString *errore) const;
    // The rules the "Gara" tab shows; nothing, with the reason, when a number cannot be read.
    std::optional<gara::Regole> regoleMostrate(QString *errore) const;

signals:
    void corri(qint64 gara, qint64 manche);
    void stampa(StampaGara::Documento documento, qint64 id);
    void esportaCsv(qint64 gara, bool conCampionato);
    void esportaExcel(qint64 gara);

private:
    QWidget *creaSchedaGara();
    QWidget *creaSchedaIscritti();
    QWidget *creaSchedaProgramma();
    QWidget *creaSchedaRisultati();
    QWidget *creaSchedaRegistro();
    QPushButton *nuovoPulsante(QWidget *genitore, const char *nome, const QString &testo);
    void mostra();
    void mostraGara();
    void mostraProgramma();
    void mostraRisultati();
    void mostraRegistro();
    void salvaGara();
    void sposta(int verso);
    void regoleManche();
    void penalita();
    void annullaPenalita();
    qint64 garaScelta() const;
    // Tells a refusal, or the warnings of a change that went through.
    void esito(bool fatto, const QString &errore, const QStringList &avvisi);

    GestioneGare &gestione_;
    DirezioneGara *direzione_;
    Orologio &orologio_;
    Messaggi &messaggi_;
    QComboBox *gareCmb_ = nullptr;
    QTabWidget *schede_ = nullptr;
    QLineEdit *nome_ = nullptr, *pista_ = nullptr, *valore_ = nullptr, *grazia_ = nullptr;
    QDateEdit *data_ = nullptr;
    QComboBox *tipo_ = nullptr, *campionato_ = nullptr, *falsa_ = nullptr;
    std::array<QCheckBox *, gara::corsieMassime> corsie_{};
    QLineEdit *nomeIscritto_ = nullptr, *vettura_ = nullptr, *club_ = nullptr;
    QTableWidget *iscrittiTbl_ = nullptr, *programmaTbl_ = nullptr, *risultatoTbl_ = nullptr, *mancheTbl_ = nullptr,
                 *registroTbl_ = nullptr;
    QComboBox *mancheCmb_ = nullptr;
    bool nuova_ = false;       // the "Gara" tab holds a new event, not yet stored
    bool modificato_ = false;  // the "Gara" tab holds changes not yet stored: a reading leaves them
    bool riempiendo_ = false;
};

#pragma once
#include "results/stampagara.h"

#include <QDialog>

class GestioneGare;
class Messaggi;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

// "Campionato": a season of events with its points table and dropped
// results, and its standings (ties broken by wins, then the other places).
// An event joins a championship in the "Gara" window.
class FinestraCampionato : public QDialog {
    Q_OBJECT
public:
    FinestraCampionato(GestioneGare &gestione, Messaggi &messaggi, QWidget *parent = nullptr);
    // Opens on this championship (0: the first).
    void apri(qint64 campionato);

    QComboBox *campionati() const { return campionatiCmb_; }
    QLineEdit *nome() const { return nome_; }
    QLineEdit *punti() const { return punti_; }
    QSpinBox *scarti() const { return scarti_; }
    QTableWidget *classifica() const { return classifica_; }
    QPushButton *pulsante(const QString &nome) const;

signals:
    void stampa(StampaGara::Documento documento, qint64 id);

private:
    void mostra();
    void salva();

    GestioneGare &gestione_;
    Messaggi &messaggi_;
    QComboBox *campionatiCmb_;
    QLineEdit *nome_, *punti_;
    QSpinBox *scarti_;
    QTableWidget *classifica_;
    bool nuovo_ = false;
};

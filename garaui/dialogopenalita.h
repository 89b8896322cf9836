#pragma once
#include "gara/archiviogara.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Penalità": a penalty for one driver, on the heat or on the whole event,
// always with a reason. The penalty is stored before the dialog closes; a
// refusal (a reason missing, laps that would go below zero) is told in the
// dialog and changes nothing.
class DialogoPenalita : public QDialog {
    Q_OBJECT
public:
    using Invio = std::function<void(const gara::Sanzione &, std::function<void(bool, const QString &)>)>;
    // `manche`: the heat on the lanes (0: none); its drivers come first in the list.
    DialogoPenalita(const gara::Gara &gara, const QVector<gara::Iscritto> &iscritti, const std::optional<gara::Manche> &manche,
                    Invio invio, QWidget *parent = nullptr);

    // The penalty as typed, or the reason it cannot be one.
    std::optional<gara::Sanzione> sanzione(QString *errore) const;

    QComboBox *pilota() const { return pilota_; }
    QComboBox *ambito() const { return ambito_; }
    QComboBox *tipo() const { return tipo_; }
    QLineEdit *quantita() const { return quantita_; }
    QLineEdit *motivo() const { return motivo_; }
    QLabel *esito() const { return esito_; }
    QPushButton *conferma() const { return conferma_; }

private:
    void invia();
    void aggiornaQuantita();

    gara::Gara gara_;
    std::optional<gara::Manche> manche_;
    Invio invio_;
    QComboBox *pilota_, *ambito_, *tipo_;
    QLineEdit *quantita_, *motivo_;
    QLabel *unita_, *esito_;
    QPushButton *conferma_;
};

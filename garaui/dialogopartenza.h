#pragma once
#include "gara/impostazionigara.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// "Partenza e ripresa": the countdown, the time between the lights, the random
// hold before lights out, the track power during the lights, and the
// countdown after a track call. Refused values are told and change nothing.
class DialogoPartenza : public QDialog {
    Q_OBJECT
public:
    DialogoPartenza(const ImpostazioniGara &attuali, QWidget *parent = nullptr);
    // What the dialog shows, or nothing with the reason.
    std::optional<ImpostazioniGara> scelte(QString *errore) const;

    QSpinBox *contoAllaRovescia() const { return conto_; }
    QLineEdit *intervallo() const { return intervallo_; }
    QLineEdit *attesaMinima() const { return minima_; }
    QLineEdit *attesaMassima() const { return massima_; }
    QCheckBox *corrente() const { return corrente_; }
    QSpinBox *ripresa() const { return ripresa_; }

private:
    QSpinBox *conto_, *ripresa_;
    QLineEdit *intervallo_, *minima_, *massima_;
    QCheckBox *corrente_;
};

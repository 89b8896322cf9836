#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;
class QSpinBox;
class RisultatiInRete;

// "Risultati in rete": turns the live results page on and off, sets its port
// and shows where to open it (the addresses as links and a QR code of the
// first). Every change takes effect at once; the logic is RisultatiInRete's.
class DialogoRete : public QDialog {
    Q_OBJECT
public:
    explicit DialogoRete(RisultatiInRete &rete, QWidget *parent = nullptr);

    QCheckBox *attivaChk() const { return attiva_; }
    QSpinBox *portaSpin() const { return porta_; }
    QLabel *statoLbl() const { return stato_; }
    QLabel *indirizziLbl() const { return indirizzi_; }
    QLabel *qrLbl() const { return qr_; }

private:
    void applica();
    void mostra();

    RisultatiInRete &rete_;
    QCheckBox *attiva_;
    QSpinBox *porta_;
    QLabel *stato_;
    QLabel *indirizzi_;
    QLabel *qr_;
};

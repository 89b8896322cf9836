#pragma once
#include "voce/impostazionivoce.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class ServizioVoce;

// Opzioni > "Annunci vocali...": every change takes effect at once; closing keeps it.
class DialogoVoce : public QDialog {
    Q_OBJECT
public:
    explicit DialogoVoce(ServizioVoce &servizio, QWidget *parent = nullptr);
    void done(int risultato) override;

private:
    ImpostazioniVoce scelte() const;
    void mostraStato();
    void cambiato();

    ServizioVoce &servizio_;
    QCheckBox *attivi_, *ogniGiro_, *migliorGiro_, *giroVeloce_, *tempoRimasto_, *partenza_, *gara_;
    QCheckBox *tonoGiro_, *tonoIgnorato_, *toniPartenza_;
    QComboBox *voce_;
    QSlider *velocita_, *volume_;
    QPushButton *prova_;
    QGroupBox *gruppoVoce_, *gruppoToni_;
    QLabel *stato_;
    bool riempiendo_ = false;
};

#pragma once
#include "gara/regole.h"
#include "setup/datiiniziali.h"

#include <QMainWindow>
#include <array>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The start window "Inserimento dati iniziali": up to eight driver names and a
// track from the catalogue, with the track editor in the frame "Nuova Pista".
class RilevaAvvio : public QMainWindow {
    Q_OBJECT
public:
    RilevaAvvio(Database &db, Messaggi &messaggi, QWidget *parent = nullptr);

    // Window load: fill the track list and centre the window on the screen.
    void carica();
    // Refills the combo from the catalogue; the first track is selected.
    void comboInit();
    // The buttons' one click operation, told apart by index.
    void actionbtnClick(int indice);
    void cancellabtnClick();

    DatiIniziali &dati() { return dati_; }
    QLineEdit *datiTxt(int i) const { return datiTxt_[i]; }
    QLabel *datiLbl(int i) const { return datiLbl_[i]; }
    QComboBox *datiCmb() const { return datiCmb_; }
    QPushButton *actionbtn(int i) const { return actionbtn_[i]; }
    QGroupBox *nuovaPistaFrm() const { return nuovaPistaFrm_; }
    QLineEdit *text2(int i) const { return text2_[i]; }
    QPushButton *cancellabtn() const { return cancellabtn_; }
    // The session kind beside the track ("Prova libera" first), its minutes or laps, the grace factor.
    QComboBox *tipoCmb() const { return tipoCmb_; }
    QLineEdit *valoreTxt() const { return valoreTxt_; }
    QLineEdit *graziaTxt() const { return graziaTxt_; }
    QPushButton *garaBtn() const { return garaBtn_; }
    // The track chosen in the list goes to the session, as "&Ok" does (for a heat run from "Gara...").
    void applicaPista();
    QAction *azioneLoad() const { return load_; }
    QAction *azioneSave() const { return save_; }
    QAction *azioneEsci() const { return esci_; }
    QAction *azioneInformazioni() const { return informazioni_; }
    // The list position "&Ok" takes the track from: -1 when the text typed is
    // not the current entry nor any other entry of the list.
    int indiceLista() const;

signals:
    // "&Ok" passed: the drivers in lane order; the track is in globale() already.
    void avvia(const QStringList &piloti);
    // "&Ok" with a race kind: the drivers in lane order and the rules checked.
    void avviaGara(const QStringList &piloti, const gara::Regole &regole);
    // "&Gara...": the events, their entries and heats.
    void menuGara();
    void menuLoad();
    void menuInformazioni();
    void menuEsci();

protected:
    void keyPressEvent(QKeyEvent *evento) override;

private:
    void creaMenu();
    void creaControlli();
    void ok();
    void apriEditor(bool aperto);
    void creaSessione(QWidget *client);
    void tipoScelto();

    DatiIniziali dati_;
    std::array<QLabel *, 9> datiLbl_{};
    std::array<QLineEdit *, 8> datiTxt_{};
    QComboBox *datiCmb_ = nullptr;
    std::array<QPushButton *, 5> actionbtn_{};
    QGroupBox *nuovaPistaFrm_ = nullptr;
    std::array<QLabel *, 2> nuovaPistaLbl_{};
    std::array<QLineEdit *, 2> text2_{};
    QPushButton *cancellabtn_ = nullptr;
    QComboBox *tipoCmb_ = nullptr;
    QLabel *valoreLbl_ = nullptr;
    QLineEdit *valoreTxt_ = nullptr;
    QLineEdit *graziaTxt_ = nullptr;
    QPushButton *garaBtn_ = nullptr;
    QAction *load_ = nullptr;
    QAction *save_ = nullptr;
    QAction *esci_ = nullptr;
    QAction *informazioni_ = nullptr;
};

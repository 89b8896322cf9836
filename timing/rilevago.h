#pragma once
#include "timing/archivio.h"
#include "timing/sessione.h"

#include <QMainWindow>
#include <QTimer>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The timing window "Gestione Tempi Pista": a thin view over `Sessione` that owns
// the controls, forwards clicks, keys and Timer1 ticks, and mirrors the state back.
class RilevaGo : public QMainWindow {
    Q_OBJECT
public:
    RilevaGo(Orologio &orologio, Messaggi &messaggi, ArchivioGiri &archivio,
             QWidget *parent = nullptr);
    ~RilevaGo() override;

    Sessione &sessione() { return sessione_; }
    // The grids refresher; until one is set the grids stay as they are.
    void impostaTabelle(Tabelle *tabelle) { inoltro_.destinazione = tabelle; }
    void inizializza();
    // "Giri in attesa di salvataggio: N" below the lanes; hidden at 0.
    void mostraGiriInAttesa(int n);

    QTableView *griglia1() const { return msFlexGrid1_; } // standings
    QTableView *griglia2() const { return msFlexGrid2_; } // five fastest laps
    QLabel *connesso(int k) const { return connesso_[k]; }
    QLabel *nonconnesso(int k) const { return nonconnesso_[k]; }
    QLineEdit *text2() const { return text2_; }
    QLineEdit *settempo() const { return settempo_; }
    QPushButton *intertempoBtn(int i) const { return corsie_[i].intertempoBtn; }
    QPushButton *fineBtn(int i) const { return corsie_[i].fineBtn; }
    QPushButton *partiBtn() const { return partiBtn_; }
    QPushButton *pausabtn() const { return pausabtn_; }
    QPushButton *pausabtn2() const { return pausabtn2_; }
    QTimer &timer1() { return timer1_; }
    QLabel *giriInAttesa() const { return giriInAttesa_; }

signals:
    void menuLoad();
    void menuSave();
    void menuPiloti();
    void menuStampa();
    void menuTempiPiloti();
    void menuCancDatabase();
    void menuPortSetting();
    void menuTempoMinimo();
    void menuInformazioni();
    void menuEsci();
    void menuEsportaCsv();
    void menuEsportaExcel();
    void menuRisultatiInRete();
    void menuAnnunciVocali();

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    struct Inoltro : Tabelle {
        Tabelle *destinazione = nullptr;
        void aggiornaTabella() override { if (destinazione) destinazione->aggiornaTabella(); }
    };
    struct ControlliCorsia {
        QGroupBox *pilotiLbl1 = nullptr;
        QLabel *tempo = nullptr;
        QLabel *vel = nullptr;
        QPushButton *fineBtn = nullptr;
        QLabel *tempolast = nullptr;
        QLabel *bestlapper = nullptr;
        QPushButton *intertempoBtn = nullptr;
    };

    void creaMenu();
    void creaControlli();
    void creaGriglie(QWidget *client);
    void creaBloccoSessione(QWidget *client);
    void creaCorsia(QWidget *client, int i);
    void creaNascosti(QWidget *client);
    void aggiorna();

    Inoltro inoltro_;
    Orologio &orologio_;
    Sessione sessione_;
    QTimer timer1_;
    std::array<ControlliCorsia, Sessione::numCorsie> corsie_{};
    std::array<QLabel *, Sessione::numCorsie> connesso_{};
    std::array<QLabel *, Sessione::numCorsie> nonconnesso_{};
    QTableView *msFlexGrid1_ = nullptr;
    QTableView *msFlexGrid2_ = nullptr;
    QLabel *tempotot_ = nullptr;
    QLineEdit *settempo_ = nullptr;
    QPushButton *partiBtn_ = nullptr;
    QPushButton *pausabtn_ = nullptr;
    QPushButton *pausabtn2_ = nullptr;
    QLineEdit *prova_ = nullptr;
    QLineEdit *text2_ = nullptr;
    QLabel *giriInAttesa_ = nullptr;
    bool filtroInstallato_ = false;
};

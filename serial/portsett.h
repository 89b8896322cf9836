#pragma once
#include "serial/portsettlogica.h"

#include <QDialog>
#include <array>

class QComboBox;
class QFrame;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The modal dialog "Proprietà porta di comunicazione": a thin window over
// PortSettLogica working on the timing window's port.
class PortSett : public QDialog {
    Q_OBJECT
public:
    PortSett(PortaSeriale &porta, Impostazioni &store, Messaggi &messaggi, QWidget *parent = nullptr);

    QComboBox *cboPort() const { return cboPort_; }
    QComboBox *cboSpeed() const { return cboSpeed_; }
    QComboBox *cboDataBits() const { return cboDataBits_; }
    QComboBox *cboParity() const { return cboParity_; }
    QComboBox *cboStopBits() const { return cboStopBits_; }
    QRadioButton *optFlow(int i) const { return optFlow_[i]; }
    QPushButton *cmdOK() const { return cmdOK_; }
    QPushButton *cmdCancel() const { return cmdCancel_; }
    const PortSettLogica &logica() const { return logica_; }

protected:
    void keyPressEvent(QKeyEvent *evento) override;

private:
    void creaControlli();
    void Form_Load();
    void LoadPropertySettings();
    void cmdOK_Click();

    PortSettLogica logica_;
    QTabWidget *tabSettings_ = nullptr;
    QFrame *fraSettings_ = nullptr;
    QComboBox *cboPort_ = nullptr;
    QComboBox *cboSpeed_ = nullptr;
    QComboBox *cboDataBits_ = nullptr;
    QComboBox *cboParity_ = nullptr;
    QComboBox *cboStopBits_ = nullptr;
    std::array<QRadioButton *, 4> optFlow_{};
    QPushButton *cmdOK_ = nullptr;
    QPushButton *cmdCancel_ = nullptr;
};

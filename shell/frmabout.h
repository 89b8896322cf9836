#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// "Informazioni su ...": the program's name and version. Enter and Esc close it.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *parent = nullptr);

    // "Versione 0.80.0": numbers as plain decimals, no padding.
    static QString testoVersione(int maggiore, int minore, int revisione);

    QLabel *lblTitle() const { return lblTitle_; }
    QLabel *lblVersion() const { return lblVersion_; }
    QPushButton *cmdOK() const { return cmdOK_; }

private:
    QLabel *lblTitle_ = nullptr;
    QLabel *lblVersion_ = nullptr;
    QPushButton *cmdOK_ = nullptr;
};

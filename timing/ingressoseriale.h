#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

class PortaSeriale;
class ImpostazioniPorta;
class Messaggi;
class Sessione;
class RilevaGo;
class QLabel;
class QLineEdit;

// Where the serial input shows the line states: the lamps of each lane and
// the hidden text box Text2.
class VistaLinee {
public:
    virtual ~VistaLinee() = default;
    virtual void mostraConnesso(int k, bool visibile) = 0;
    virtual void mostraNonconnesso(int k, bool visibile) = 0;
    virtual void abilitaText2(bool abilitato) = 0;
    virtual void scriviText2(const QString &testo) = 0;
};

// The lamps and Text2 of the timing window.
class VistaLineeRilevaGo : public VistaLinee {
public:
    explicit VistaLineeRilevaGo(RilevaGo &finestra) : finestra_(finestra) {}
    void mostraConnesso(int k, bool visibile) override;
    void mostraNonconnesso(int k, bool visibile) override;
    void abilitaText2(bool abilitato) override;
    void scriviText2(const QString &testo) override;

private:
    RilevaGo &finestra_;
};

// The timing device's lap input of the timing window: applies the stored port
// settings when the window loads, opens the port, polls the device with a
// blank every 100 ms (Timer2) and turns each active line of a reply into a
// mark of its lane. The poll runs exactly while the port is open, however and
// whenever it was opened.
class IngressoSeriale : public QObject {
    Q_OBJECT
public:
    IngressoSeriale(PortaSeriale &porta, Sessione &sessione, Messaggi &messaggi, ImpostazioniPorta &store,
                    VistaLinee &vista, QObject *parent = nullptr);

    // The serial part of the window's load, run before inizializza.
    void Form_Load();
    void apriPorta();
    void Gestisci(bool cond);
    void uscita(qint16 a);
    // Receive event of the port.
    void MSComm1_OnComm();
    void Binario(qint16 Decim);

    QTimer &timer2() { return timer2_; }
    QString bufferSeriale() const { return bufferSeriale_; }
    qint16 byteSeriale() const { return byteSeriale_; }

private:
    void avvisa(const QString &descrizione);

    PortaSeriale &porta_;
    Sessione &sessione_;
    Messaggi &messaggi_;
    ImpostazioniPorta &store_;
    VistaLinee &vista_;
    QTimer timer2_;
    QString bufferSeriale_;
    qint16 byteSeriale_ = 0;
};

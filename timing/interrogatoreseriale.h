#pragma once
#include "serial/collegamentodispositivo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class Orologio;
class PortaSeriale;

// The timing device's side of the serial input, on the thread that owns the
// port, where no window work can hold up a poll or a reply. When the port opens
// it asks the device for the extended protocol; a device that does not answer
// it gets a blank every 100 ms (Timer2), and its replies are judged and stamped
// with the instant they arrived. Every byte is stamped where it is read; what
// it means (CollegamentoDispositivo) goes on to the window with its instant.
// The link keeps its own time on a monotonic clock; its instants reach the
// session on the program's clock, by their age.
class InterrogatoreSeriale : public QObject, private AscoltoDispositivo {
    Q_OBJECT
public:
    InterrogatoreSeriale(PortaSeriale &porta, Orologio &orologio, QObject *parent = nullptr);

    // The port opened (the link starts by asking) or closed (everything stops).
    void Gestisci(bool cond);
    // Sends one character when the port is open.
    void uscita(qint16 a);
    // Receive event of the port.
    void MSComm1_OnComm();
    // The start lights (bits 0-4) and the relay of a device of the extended protocol.
    bool impostaUscite(quint8 luci, bool rele);

    QTimer &timer2() { return timer2_; }
    QString bufferSeriale() const { return bufferSeriale_; }
    qint16 byteSeriale() const { return byteSeriale_; }
    CollegamentoDispositivo::Modo modo() const { return collegamento_.modo(); }

signals:
    // Classic: a status byte and the instant it arrived.
    void risposta(qint16 byte, double istante);
    // Extended: the lines now (for the lamps), and each crossing as the device stamped it.
    void lineeDispositivo(quint8 stato);
    void passaggioStampato(int corsia, double istante);
    // No line state to trust: the lamps go to rest.
    void lampadeARiposo();
    // A notice for the operator; one of the same `chiave` replaces the one before.
    void avvisoDispositivo(const QString &chiave, const QString &testo, bool informazione);
    // Whether the device speaks the extended protocol now.
    void protocolloEsteso(bool si);

private:
    void interroga();
    void esegui();
    void pianifica();
    void scrivi(const std::vector<uint8_t> &byte);
    double ora() const { return double(monotono_.nsecsElapsed()) / 1e9; }
    double istante(double t);

    void stato(uint8_t byte, double istante) override;
    void linee(uint8_t stato) override;
    void passaggio(int corsia, double istante) override;
    void riposo() override;
    void avviso(const AvvisoDispositivo &a) override;

    PortaSeriale &porta_;
    Orologio &orologio_;
    QTimer timer2_;
    QTimer passo_;
    QElapsedTimer monotono_;
    CollegamentoDispositivo collegamento_{*this};
    QString bufferSeriale_;
    qint16 byteSeriale_ = 0;
};

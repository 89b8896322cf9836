#pragma once
#include <QObject>
#include <QString>
#include <QTimer>

class Orologio;
class PortaSeriale;

// The timing device's side of the serial input: a blank every 100 ms (Timer2)
// while the port is open, and each reply read and stamped with the instant it
// arrived. It runs on the thread that owns the port, where no window work can
// hold up a poll or a reply; the decoded marks go on with their instant.
class InterrogatoreSeriale : public QObject {
    Q_OBJECT
public:
    InterrogatoreSeriale(PortaSeriale &porta, Orologio &orologio, QObject *parent = nullptr);

    // Switches the poll on or off; it follows the port's open state by itself.
    void Gestisci(bool cond);
    // Sends one character when the port is open.
    void uscita(qint16 a);
    // Receive event of the port: the first byte of what waits is the reply.
    void MSComm1_OnComm();

    QTimer &timer2() { return timer2_; }
    QString bufferSeriale() const { return bufferSeriale_; }
    qint16 byteSeriale() const { return byteSeriale_; }

signals:
    // A status byte and the instant it arrived.
    void risposta(qint16 byte, double istante);

private:
    PortaSeriale &porta_;
    Orologio &orologio_;
    QTimer timer2_;
    QString bufferSeriale_;
    qint16 byteSeriale_ = 0;
};

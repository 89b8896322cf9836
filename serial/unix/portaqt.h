#pragma once
#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"

#include <QSerialPort>

class ImpostazioniPorta;

// The device behind a port number: COMn where the system has such names;
// elsewhere the path written under "Porte"/"Comn" in the settings store, and
// /dev/ttyS(n-1) without one.
QString dispositivoPorta(int numero, const ImpostazioniPorta &store);

// The real port over QSerialPort. Settings are checked when written; while the
// port is open they are applied at once and, on Unix, read back from the
// terminal so that a device that ignores them (a pseudo-terminal ignores
// parity and data bits) is reported instead of silently accepted.
// Not available anywhere: 4 data bits; on Unix also 1.5 stop bits.
class PortaQt : public PortaSeriale {
    Q_OBJECT
public:
    explicit PortaQt(ImpostazioniPorta &store, QObject *parent = nullptr);
    ~PortaQt() override;

    QString settings() const override { return impostazioni_.testo(); }
    bool setSettings(const QString &valore) override;
    qint16 commPort() const override { return commPort_; }
    bool setCommPort(qint16 numero) override;
    int handshaking() const override { return handshaking_; }
    bool setHandshaking(int codice) override;
    bool portOpen() const override { return porta_.isOpen(); }
    bool setPortOpen(bool aperta) override;
    bool output(const QString &testo) override;
    QString input() override;

    // The device path of the current port number.
    QString dispositivo() const;

private:
    bool applica(const ImpostazioniSerie &imp, int flusso);
    QString nomePorta() const;
    QString descriviErroreApertura(QSerialPort::SerialPortError errore, const QString &percorso) const;
    void erroreLinea(QSerialPort::SerialPortError errore);

    ImpostazioniPorta &store_;
    QSerialPort porta_;
    ImpostazioniSerie impostazioni_;
    qint16 commPort_ = 1;
    int handshaking_ = 0;
    bool inOperazione_ = false;
};

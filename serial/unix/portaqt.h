#pragma once
#include "serial/portareale.h"

#include <QSerialPort>

class ImpostazioniPorta;

// The device behind a port number: the path written under "Porte"/"Comn" in the
// settings store, and /dev/ttyS(n-1) without one.
QString dispositivoPorta(int numero, const ImpostazioniPorta &store);

// The real port over QSerialPort. Settings are checked when written; while the
// port is open they are applied at once and, on Unix, read back from the
// terminal so that a device that ignores them (a pseudo-terminal ignores
// parity and data bits) is reported instead of silently accepted.
// Not available: 4 data bits, 1.5 stop bits.
class PortaQt : public PortaReale {
    Q_OBJECT
public:
    explicit PortaQt(ImpostazioniPorta &store, QObject *parent = nullptr);
    ~PortaQt() override;

    bool portOpen() const override { return porta_.isOpen(); }
    bool setPortOpen(bool aperta) override;
    bool output(const QString &testo) override;
    QString input() override;

    // The device path of the current port number.
    QString dispositivo() const;

protected:
    QString nonSupportato(const ImpostazioniSerie &imp, int flusso) const override;
    bool applica(const ImpostazioniSerie &imp, int flusso) override;

private:
    QString descriviErroreApertura(QSerialPort::SerialPortError errore, const QString &percorso) const;
    void erroreLinea(QSerialPort::SerialPortError errore);

    ImpostazioniPorta &store_;
    QSerialPort porta_;
    bool inOperazione_ = false;
};

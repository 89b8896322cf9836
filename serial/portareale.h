#pragma once
#include "serial/impostazioniserie.h"
#include "serial/lineacom.h"
#include "serial/portaseriale.h"

class Impostazioni;

// The device behind port number `numero`: on systems where ports can be pointed
// elsewhere, the path written under [Porte] "Comn" in the settings, otherwise
// the system's own name for the port.
QString dispositivoPorta(int numero, const Impostazioni &store);

// The real serial port, over this system's line. The line settings, the port
// number and the flow control are checked when written and, while the port is
// open, applied at once; when the line refuses a change the old settings are
// put back. A setting the device takes without applying it (a pseudo-terminal
// ignores parity and data bits) is refused too, not silently accepted. Every
// message the operator reads about a port is made here.
class PortaReale : public PortaSeriale {
    Q_OBJECT
public:
    // `linea` (this system's, by default) becomes a child of the port.
    explicit PortaReale(Impostazioni &store, LineaCom *linea = nullptr, QObject *parent = nullptr);
    ~PortaReale() override;

    QString settings() const override { return impostazioni_.testo(); }
    bool setSettings(const QString &valore) override;
    qint16 commPort() const override { return commPort_; }
    bool setCommPort(qint16 numero) override;
    int handshaking() const override { return handshaking_; }
    bool setHandshaking(int codice) override;
    bool portOpen() const override { return linea_->aperta(); }
    bool setPortOpen(bool aperta) override;
    bool output(const QString &testo) override;
    QString input() override;

    // The device of the current port number.
    QString dispositivo() const;
    // "Com3", as the dialog lists the port.
    QString nome() const { return QStringLiteral("Com%1").arg(commPort_); }

    // The settings text and flow control code as the line takes them.
    static ParametriLinea parametri(const ImpostazioniSerie &imp, int flusso);

private:
    bool cambia(const ImpostazioniSerie &imp, int flusso);
    bool applica(const ImpostazioniSerie &imp, int flusso);
    QString testoApertura(LineaCom::Apertura esito, const QString &dispositivo) const;
    void persa(const QString &motivo);

    Impostazioni &store_;
    LineaCom *linea_;
    ImpostazioniSerie impostazioni_;
    qint16 commPort_ = 1;
    int handshaking_ = 0;
};

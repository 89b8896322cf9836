#pragma once
#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"

// What the real ports of every system share: the line settings, the port number and
// the flow control are checked when written and, while the port is open, applied at
// once; when the line refuses a change the old settings are put back.
class PortaReale : public PortaSeriale {
    Q_OBJECT
public:
    using PortaSeriale::PortaSeriale;

    QString settings() const override { return impostazioni_.testo(); }
    bool setSettings(const QString &valore) override;
    qint16 commPort() const override { return commPort_; }
    bool setCommPort(qint16 numero) override;
    int handshaking() const override { return handshaking_; }
    bool setHandshaking(int codice) override;

protected:
    // Why this system's ports cannot take these settings at all; empty when they can.
    virtual QString nonSupportato(const ImpostazioniSerie &imp, int flusso) const = 0;
    // Puts the settings on the open line; false, with the refusal, when it does not take them.
    virtual bool applica(const ImpostazioniSerie &imp, int flusso) = 0;
    QString nomePorta() const { return QStringLiteral("Com%1").arg(commPort_); }

    ImpostazioniSerie impostazioni_;

private:
    bool cambia(const ImpostazioniSerie &imp, int flusso);

    qint16 commPort_ = 1;
    int handshaking_ = 0;
};

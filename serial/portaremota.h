#pragma once
#include "serial/portaseriale.h"

// The serial port as seen from another thread: every call runs on the port's
// own thread and waits for its answer, which takes microseconds, because that
// thread never waits on this one. Opening, closing and line loss come back as
// signals of this object.
class PortaRemota : public PortaSeriale {
    Q_OBJECT
public:
    // `reale` lives on another thread and outlives this object.
    explicit PortaRemota(PortaSeriale &reale, QObject *parent = nullptr);

    QString settings() const override;
    bool setSettings(const QString &valore) override;
    qint16 commPort() const override;
    bool setCommPort(qint16 numero) override;
    int handshaking() const override;
    bool setHandshaking(int codice) override;
    bool portOpen() const override;
    bool setPortOpen(bool aperta) override;
    bool output(const QString &testo) override;
    QString input() override;

private:
    template <typename R, typename F> R chiedi(F &&f) const;
    template <typename F> bool esegui(F &&f);

    PortaSeriale &reale_;
};

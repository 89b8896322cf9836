#include "serial/portaremota.h"

PortaRemota::PortaRemota(PortaSeriale &reale, QObject *parent) : PortaSeriale(parent), reale_(reale)
{
    connect(&reale_, &PortaSeriale::apertaCambiata, this, &PortaSeriale::apertaCambiata);
    connect(&reale_, &PortaSeriale::lineaPersa, this, &PortaSeriale::lineaPersa);
}

template <typename R, typename F> R PortaRemota::chiedi(F &&f) const
{
    R r{};
    QMetaObject::invokeMethod(&reale_, [&] { r = f(); }, Qt::BlockingQueuedConnection);
    return r;
}

// A command: its outcome and the port's description of a refusal come back together.
template <typename F> bool PortaRemota::esegui(F &&f)
{
    bool fatto = false;
    QString errore;
    QMetaObject::invokeMethod(&reale_, [&] {
        fatto = f();
        errore = reale_.descrizioneErrore();
    }, Qt::BlockingQueuedConnection);
    return fatto ? riuscito() : rifiuta(errore);
}

QString PortaRemota::settings() const { return chiedi<QString>([this] { return reale_.settings(); }); }
bool PortaRemota::setSettings(const QString &v) { return esegui([&] { return reale_.setSettings(v); }); }
qint16 PortaRemota::commPort() const { return chiedi<qint16>([this] { return reale_.commPort(); }); }
bool PortaRemota::setCommPort(qint16 n) { return esegui([&] { return reale_.setCommPort(n); }); }
int PortaRemota::handshaking() const { return chiedi<int>([this] { return reale_.handshaking(); }); }
bool PortaRemota::setHandshaking(int c) { return esegui([&] { return reale_.setHandshaking(c); }); }
bool PortaRemota::portOpen() const { return chiedi<bool>([this] { return reale_.portOpen(); }); }
bool PortaRemota::setPortOpen(bool a) { return esegui([&] { return reale_.setPortOpen(a); }); }
bool PortaRemota::output(const QString &t) { return esegui([&] { return reale_.output(t); }); }
QString PortaRemota::input() { return chiedi<QString>([this] { return reale_.input(); }); }

#pragma once
#include "comune/threaddedicato.h"
#include "serial/portaremota.h"
#include "timing/ingressoseriale.h"
#include "timing/uscitedispositivo.h"

#include <memory>

class Impostazioni;
class InterrogatoreSeriale;
class Orologio;

// The serial lap input of one timing window, wired across two threads: the
// port and its poll on a thread of their own, the marks on the window's thread.
// The port closes, and the thread ends, with this object. It also drives the
// device's outputs for races, without waiting on the port's thread.
class LineaSeriale : public QObject, public UsciteDispositivo {
    Q_OBJECT
public:
    LineaSeriale(Impostazioni &store, Orologio &orologio, Messaggi &messaggi, Sessione &sessione,
                 VistaLinee &vista, QObject *parent = nullptr);
    ~LineaSeriale() override;

    // The port as the window and the port dialog use it.
    PortaSeriale &porta() { return remota_; }
    IngressoSeriale &ingresso() { return ingresso_; }
    // Lives on the port's thread: only for signals and reading its state in tests.
    InterrogatoreSeriale &interrogatore() { return *interrogatore_; }
    QThread &thread() { return thread_.thread(); }
    // Whether the device on the line speaks the extended protocol, as last heard.
    bool esteso() const { return esteso_; }
    bool impostaUscite(quint8 luci, bool rele) override;

private:
    // The stamps of the device's replies come first: above every other thread where the system allows.
    ThreadDedicato thread_{QStringLiteral("porta seriale"), ThreadDedicato::Priorita::Alzata};
    std::unique_ptr<Impostazioni> storeDelThread_;
    QObject *radice_;                      // on thread_: owns the two below
    PortaSeriale *reale_;
    InterrogatoreSeriale *interrogatore_;
    PortaRemota remota_;
    IngressoSeriale ingresso_;
    bool esteso_ = false;
};

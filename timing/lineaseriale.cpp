#include "timing/lineaseriale.h"

#include "comune/impostazioni.h"
#include "serial/portareale.h"
#include "timing/interrogatoreseriale.h"

LineaSeriale::LineaSeriale(Impostazioni &store, Orologio &orologio, Messaggi &messaggi,
                           Sessione &sessione, VistaLinee &vista, QObject *parent)
    : QObject(parent), storeDelThread_(store.copia()), radice_(new QObject),
      reale_(new PortaReale(*storeDelThread_, nullptr, radice_)),
      interrogatore_(new InterrogatoreSeriale(*reale_, orologio, radice_)), remota_(*reale_),
      ingresso_(remota_, sessione, messaggi, store, vista)
{
    connect(interrogatore_, &InterrogatoreSeriale::risposta, &ingresso_, &IngressoSeriale::Binario);
    connect(interrogatore_, &InterrogatoreSeriale::lineeDispositivo, &ingresso_, &IngressoSeriale::lineeEstese);
    connect(interrogatore_, &InterrogatoreSeriale::passaggioStampato, &ingresso_, &IngressoSeriale::passaggioStampato);
    connect(interrogatore_, &InterrogatoreSeriale::lampadeARiposo, &ingresso_, &IngressoSeriale::mostraRiposo);
    connect(interrogatore_, &InterrogatoreSeriale::avvisoDispositivo, &ingresso_, &IngressoSeriale::avvisoDispositivo);
    connect(interrogatore_, &InterrogatoreSeriale::protocolloEsteso, this, [this](bool si) { esteso_ = si; });
    // The port and its timer are closed and destroyed on their own thread, as it ends.
    thread_.avvia(radice_);
}

bool LineaSeriale::impostaUscite(quint8 luci, bool rele)
{
    if (!esteso_) return false;
    // The port's thread sends them with its next request; nothing here waits.
    QMetaObject::invokeMethod(interrogatore_, [i = interrogatore_, luci, rele] { i->impostaUscite(luci, rele); });
    return true;
}

LineaSeriale::~LineaSeriale()
{
    thread_.ferma();
}

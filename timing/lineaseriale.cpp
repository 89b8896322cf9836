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
    // The port and its timer are closed and destroyed on their own thread, as it ends.
    thread_.avvia(radice_);
}

LineaSeriale::~LineaSeriale()
{
    thread_.ferma();
}

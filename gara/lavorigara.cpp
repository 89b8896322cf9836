#include "gara/lavorigara.h"

#include "database/archivioasincrono.h"

void LavoriScrittore::esegui(QObject *contesto, Lavoro lavoro, Poi poi)
{
    archivio_.eseguiPoi(contesto, std::move(lavoro), std::move(poi));
}

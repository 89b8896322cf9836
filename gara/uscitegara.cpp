#include "gara/uscitegara.h"

#include "timing/uscitedispositivo.h"

#include <algorithm>

void UsciteSulDispositivo::collega(UsciteDispositivo *dispositivo)
{
    dispositivo_ = dispositivo;
}

bool UsciteSulDispositivo::impostaLuci(int accese)
{
    // Lights fill from the left: bit 0 is the first.
    luci_ = quint8((1u << std::clamp(accese, 0, 5)) - 1);
    return invia();
}

bool UsciteSulDispositivo::impostaAlimentazione(bool accesa)
{
    alimentazione_ = accesa;
    return invia();
}

bool UsciteSulDispositivo::invia()
{
    return dispositivo_ && dispositivo_->impostaUscite(luci_, alimentazione_);
}

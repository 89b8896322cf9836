#include "serial/portareale.h"

bool PortaReale::cambia(const ImpostazioniSerie &imp, int flusso)
{
    if (const QString motivo = nonSupportato(imp, flusso); !motivo.isEmpty()) return rifiuta(motivo);
    if (portOpen() && !applica(imp, flusso)) {
        const QString motivo = descrizioneErrore();
        applica(impostazioni_, handshaking_);
        return rifiuta(motivo);
    }
    impostazioni_ = imp;
    handshaking_ = flusso;
    return riuscito();
}

bool PortaReale::setSettings(const QString &valore)
{
    ImpostazioniSerie nuove;
    QString errore;
    if (!analizzaSettings(valore, nuove, errore)) return rifiuta(errore);
    if (nuove.datiBit == 4)
        return rifiuta(QStringLiteral("4 bit di dati non sono supportati dalle porte seriali di questo sistema."));
    return cambia(nuove, handshaking_);
}

bool PortaReale::setCommPort(qint16 numero)
{
    if (portOpen())
        return rifiuta(QStringLiteral("Impossibile cambiare il numero della porta mentre %1 è aperta.").arg(nomePorta()));
    if (numero < 1 || numero > 255)
        return rifiuta(QStringLiteral("Numero di porta non valido: %1 (ammessi da 1 a 255).").arg(numero));
    commPort_ = numero;
    return riuscito();
}

bool PortaReale::setHandshaking(int codice)
{
    if (codice < 0 || codice > 3)
        return rifiuta(QStringLiteral("Controllo di flusso non valido: %1 (ammessi da 0 a 3).").arg(codice));
    return cambia(impostazioni_, codice);
}

#include "gara/impostazionigara.h"

#include "comune/impostazioni.h"

namespace {
const QString sezione = QStringLiteral("Gara");
}

ImpostazioniGara ImpostazioniGara::leggi(const Impostazioni &store)
{
    ImpostazioniGara g;
    ProceduraPartenza::Impostazioni &p = g.partenza;
    p.secondiContoAllaRovescia = int(store.intero(sezione, QStringLiteral("ContoAllaRovescia"), 0, 600).value_or(p.secondiContoAllaRovescia));
    p.intervalloLuci = store.numero(sezione, QStringLiteral("IntervalloLuci"), 0.001, 10).value_or(p.intervalloLuci);
    const double minima = store.numero(sezione, QStringLiteral("AttesaMinima"), 0, 60).value_or(p.attesaMinima);
    const double massima = store.numero(sezione, QStringLiteral("AttesaMassima"), 0, 60).value_or(p.attesaMassima);
    // The two only as a pair: one without the other could leave the hold upside down.
    if (minima <= massima) {
        p.attesaMinima = minima;
        p.attesaMassima = massima;
    }
    p.correnteDuranteLuci = store.interruttore(sezione, QStringLiteral("CorrenteDuranteLuci")).value_or(p.correnteDuranteLuci);
    g.secondiRipresa = int(store.intero(sezione, QStringLiteral("SecondiRipresa"), 0, 60).value_or(g.secondiRipresa));
    return g;
}

void ImpostazioniGara::scrivi(Impostazioni &store) const
{
    store.scriviIntero(sezione, QStringLiteral("ContoAllaRovescia"), partenza.secondiContoAllaRovescia);
    store.scriviNumero(sezione, QStringLiteral("IntervalloLuci"), partenza.intervalloLuci);
    store.scriviNumero(sezione, QStringLiteral("AttesaMinima"), partenza.attesaMinima);
    store.scriviNumero(sezione, QStringLiteral("AttesaMassima"), partenza.attesaMassima);
    store.scriviInterruttore(sezione, QStringLiteral("CorrenteDuranteLuci"), partenza.correnteDuranteLuci);
    store.scriviIntero(sezione, QStringLiteral("SecondiRipresa"), secondiRipresa);
}

QString ImpostazioniGara::errore() const
{
    if (secondiRipresa < 0 || secondiRipresa > 60)
        return QStringLiteral("Il conto alla rovescia della ripartenza va da 0 a 60 secondi.");
    return partenza.errore();
}

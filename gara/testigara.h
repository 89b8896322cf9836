#pragma once
#include "gara/archiviogara.h"

#include <QString>
#include <optional>

// The race day's values as every view writes them (windows, report, exports,
// live page), so a result reads the same wherever it is shown.
namespace gara {

// "Gara a giri, 10 giri", "Gara a tempo, 5 minuti", "Qualifica, 3 minuti", "Prova libera".
QString descriviRegole(const Regole &regole);
// An event result in laps, three decimals: "41,532".
QString testoGiri(double giri);
// "+1,000 s", "-0,500 s".
QString testoSecondi(double secondi);
// What the penalties in force add up to: "giri -1, secondi +2,000, squalificato"; empty when none.
QString testoSanzioni(const Sanzioni &sanzioni);
QString nomeStatoManche(Manche::Stato stato); // "Da correre", "In corso", "Conclusa"
// Why a driver is placed where he is against the one before: "ex aequo",
// "deciso sulla linea (istanti del dispositivo)"; empty when it needs no word.
QString notaPosto(const EsitoPilota &esito);
// The heat's state as race control and the page say it: "In attesa del via",
// "In corso", "Neutralizzazione", "Bandiera a scacchi", "Conclusa".
QString statoManche(const RisultatoManche &r);
// What remains: "Mancano 4 giri", "Ultimo giro", "Tempo rimasto 02:31"; empty when nothing does.
QString testoRimanente(const RisultatoManche &r);
// A trail line's amount: "giri -1", "secondi +1,000"; empty for the others.
QString quantitaVoce(const VoceRegistro &voce);
// The gap to the driver before on the measure that decided it: "1,250 s"; empty when none.
QString testoDistacco(const EsitoPilota &esito, TipoSessione tipo);

// What race control types, read: a points table "10-8-6-5-4-3-2-1" (blanks,
// commas or semicolons also part the numbers), and a number with a comma or a
// point ("+1", "-0,5"). Nothing, with the reason in Italian, when unusable.
std::optional<TabellaPunti> leggiTabellaPunti(const QString &testo, QString *errore);
std::optional<double> leggiNumero(const QString &testo);

} // namespace gara

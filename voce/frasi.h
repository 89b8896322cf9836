#pragma once
#include <QString>
#include <QStringList>

// Everything the program says aloud, in one place. Worded by listening to
// espeak-ng's Italian voice: numbers as digits (every engine reads them), "un
// minuto" rather than "1 minuto" (read "uno minuto"), leading zeros of the
// thousandths spelled out so that ",050" is not heard as fifty.
namespace frasi {
// A lap time as a person says it: "41 e 235" below a minute, "un minuto e 23"
// above; truncated like the time shown in the window.
QString tempo(float secondi);
QString giro(const QString &pilota, int numero, float secondi);
QString migliorGiro(const QString &pilota, float secondi);
QString giroVeloce(const QString &pilota, float secondi);
QString mancanoCinqueMinuti();
QString ultimoMinuto();
QString sessioneTerminata();
QString sessioneIniziata();
// What "Prova" says.
QString prova();
} // namespace frasi

// The race day.
namespace frasi {
QString ultimoGiro(const QString &pilota);                 // "Mario Rossi, ultimo giro"
// "bandiera a scacchi", naming who took it in a lap race.
QString bandieraScacchi(const QStringList &vincitori);
QString arrivato(const QString &pilota, int posizione);   // "Mario Rossi, arrivato secondo"
QString falsaPartenza(int corsia);                        // "falsa partenza, corsia 3"
QString ripartenza();
QString partenzaTra(int secondi);
QString neutralizzazione();
QString ripresaTra(int secondi);
QString suCorsia(int corsia, const QString &pilota);      // "corsia 1, Mario Rossi"
// "prossima manche: manche 3; corsia 1, Mario Rossi; corsia 2, Luca Bianchi"
QString prossimaManche(int numero, const QStringList &corsie);
} // namespace frasi

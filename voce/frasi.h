#pragma once
#include <QString>

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

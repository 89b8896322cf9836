#pragma once
#include "timing/archivio.h"

#include <QStringList>

// The text file of laps the database does not hold: laps still waiting when the
// program ends, laps committed to a file that another one then replaced. It lies
// beside the database as saettinopro-giri-non-salvati-AAAAMMGG-HHMMSS.txt, one
// line per lap: pilota;giroN;tempoGiro;Tempo;Data;ora;pista.
namespace giriDiTesto {

// A name for such a file that neither a file nor another name given out by this
// program has yet ("-2", "-3"... within one second), so a name told to the operator
// is the name then written, and no file overwrites another. Any thread.
QString riservaNome(const QString &percorsoDatabase);

QString riga(const GiroCompletato &giro);

// Writes `intestazione`, the line of column names and `righe` under `nome`, or
// under the same file name in the home folder when that cannot be written.
// Returns the path written, empty when neither could be.
QString scrivi(const QString &nome, const QString &intestazione, const QStringList &righe);

} // namespace giriDiTesto

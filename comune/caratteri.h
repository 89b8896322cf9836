#pragma once
#include <QFont>

// The windows name the classic Windows faces; on other systems they map to
// metric-compatible faces where installed.
void registraSostituzioniCaratteri();
QFont carattere(double punti, bool grassetto = false, const QString &famiglia = QStringLiteral("MS Sans Serif"));
// The report's face, named rather than left to the system's default sans
// face, which differs from machine to machine: the printout looks the same
// everywhere the face (or its Windows twin, Arial) is installed.
QFont carattereStampa(double punti, bool grassetto = false);

#pragma once
#include <QFont>

// The windows name the classic Windows faces; on other systems they map to
// metric-compatible faces where installed.
void registraSostituzioniCaratteri();
QFont carattere(double punti, bool grassetto = false, const QString &famiglia = QStringLiteral("MS Sans Serif"));

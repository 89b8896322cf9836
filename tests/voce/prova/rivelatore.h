#pragma once
#include <QByteArray>
#include <QVector>

namespace rivelatore {
// Where a known tone begins in a recording: `frequenza`, measured over 10 ms,
// rises to half the level of the tone as made and stays there for most of the
// tone's length; the onset is where it reached half of its own peak. A tone
// cut short or broken up is not found. `modello` is the tone as it was played.
QVector<qint64> inizi(const QVector<qint16> &registrazione, const QByteArray &modello, double frequenza);
} // namespace rivelatore

#include "comune/caratteri.h"

#include <QStringList>

void registraSostituzioniCaratteri()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList() << QStringLiteral("Liberation Sans")
                                             << QStringLiteral("Arial") << QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               QStringList() << QStringLiteral("Liberation Serif")
                                             << QStringLiteral("DejaVu Serif"));
}

QFont carattere(double punti, bool grassetto, const QString &famiglia)
{
    static const bool registrate = (registraSostituzioniCaratteri(), true);
    Q_UNUSED(registrate);
    QFont f(famiglia);
    f.setStyleHint(famiglia.contains(QLatin1String("Times")) ? QFont::Serif : QFont::SansSerif);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

QFont carattereStampa(double punti, bool grassetto)
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(punti);
    f.setBold(grassetto);
    return f;
}

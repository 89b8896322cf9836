#include "results/classificamostrata.h"
#include "results/modelloquery.h"

bool classificaConGiri(const ModelloQuery &classifica)
{
    const int colonna = classifica.campi().indexOf(QStringLiteral("Giri"), 0);
    if (colonna < 0) return false;
    for (int r = 0; r < classifica.rowCount(); ++r) {
        const QVariant v = classifica.valore(r, colonna);
        bool numero = false;
        const double giri = v.isNull() ? 0 : v.toDouble(&numero);
        if (numero && giri >= 1) return true;
    }
    return false;
}

#include "garaui/dialogopartenza.h"

#include "comune/caratteri.h"
#include "gara/testigara.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QString numero(double v) { return QString::number(v).replace(QLatin1Char('.'), QLatin1Char(',')); }
}

DialogoPartenza::DialogoPartenza(const ImpostazioniGara &attuali, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DialogoPartenza"));
    setWindowTitle(QStringLiteral("Partenza e ripresa"));
    setFont(carattere(10));
    conto_ = new QSpinBox(this);
    conto_->setRange(0, 600);
    conto_->setSuffix(QStringLiteral(" s"));
    conto_->setValue(attuali.partenza.secondiContoAllaRovescia);
    intervallo_ = new QLineEdit(numero(attuali.partenza.intervalloLuci), this);
    minima_ = new QLineEdit(numero(attuali.partenza.attesaMinima), this);
    massima_ = new QLineEdit(numero(attuali.partenza.attesaMassima), this);
    corrente_ = new QCheckBox(QStringLiteral("Corrente in pista già durante le luci (altrimenti dal via)"), this);
    corrente_->setChecked(attuali.partenza.correnteDuranteLuci);
    ripresa_ = new QSpinBox(this);
    ripresa_->setRange(0, 60);
    ripresa_->setSuffix(QStringLiteral(" s"));
    ripresa_->setValue(attuali.secondiRipresa);
    auto *modulo = new QFormLayout;
    modulo->addRow(QStringLiteral("Conto alla rovescia:"), conto_);
    modulo->addRow(QStringLiteral("Secondi tra una luce e l'altra:"), intervallo_);
    modulo->addRow(QStringLiteral("Attesa casuale prima del via, da (s):"), minima_);
    modulo->addRow(QStringLiteral("a (s):"), massima_);
    modulo->addRow(corrente_);
    modulo->addRow(QStringLiteral("Conto alla rovescia della ripartenza:"), ripresa_);
    auto *pulsanti = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pulsanti->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    connect(pulsanti, &QDialogButtonBox::accepted, this, [this] {
        QString errore;
        if (scelte(&errore)) accept();
        else QMessageBox::warning(this, windowTitle(), errore);
    });
    connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(modulo);
    layout->addWidget(pulsanti);
}

std::optional<ImpostazioniGara> DialogoPartenza::scelte(QString *errore) const
{
    ImpostazioniGara g;
    g.partenza.secondiContoAllaRovescia = conto_->value();
    const auto intervallo = gara::leggiNumero(intervallo_->text());
    const auto minima = gara::leggiNumero(minima_->text());
    const auto massima = gara::leggiNumero(massima_->text());
    if (!intervallo || !minima || !massima) {
        if (errore) *errore = QStringLiteral("Scrivere i secondi come numeri, per esempio 0,5.");
        return std::nullopt;
    }
    g.partenza.intervalloLuci = *intervallo;
    g.partenza.attesaMinima = *minima;
    g.partenza.attesaMassima = *massima;
    g.partenza.correnteDuranteLuci = corrente_->isChecked();
    g.secondiRipresa = ripresa_->value();
    const QString motivo = g.errore();
    if (!motivo.isEmpty()) {
        if (errore) *errore = motivo;
        return std::nullopt;
    }
    return g;
}

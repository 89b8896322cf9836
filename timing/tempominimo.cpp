#include "timing/tempominimo.h"

#include "comune/messaggi.h"
#include "comune/impostazioni.h"
#include "timing/rilevago.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {
// Up to three decimals, trailing zeros dropped, with the given decimal point.
QString compatto(double secondi, QChar virgola)
{
    QString t = QString::number(secondi, 'f', 3);
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    return t.replace(QLatin1Char('.'), virgola);
}
} // namespace

TempoMinimoGiro::TempoMinimoGiro(Impostazioni &store, Messaggi &messaggi, RilevaGo &finestra, Chiedi chiedi)
    : QObject(&finestra), store_(store), finestra_(finestra), chiedi_(std::move(chiedi)),
      titolo_(finestra.windowTitle())
{
    if (!chiedi_) chiedi_ = [this](double attuale) { return chiediConDialogo(&finestra_, attuale); };
    const QString salvato = store_.testo(QString::fromLatin1(sezione), QString::fromLatin1(chiave));
    const std::optional<double> letto = interpreta(salvato);
    if (!salvato.trimmed().isEmpty() && !letto)
        messaggi.mostra(QStringLiteral("Il tempo minimo sul giro salvato nelle impostazioni (\"%1\") non è valido:\n"
                                       "si usa %2 secondo. Si cambia da Opzioni, \"Tempo minimo sul giro...\".")
                            .arg(salvato, testo(predefinito)),
                        Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    valore_ = letto.value_or(predefinito);
    finestra_.sessione().impostaLockout(valore_);
    mostra();
    connect(&finestra_, &RilevaGo::menuTempoMinimo, this, &TempoMinimoGiro::menuTempoMinimo);
}

void TempoMinimoGiro::menuTempoMinimo()
{
    if (const std::optional<double> scelto = chiedi_(valore_)) imposta(*scelto);
}

void TempoMinimoGiro::imposta(double secondi)
{
    // Only what the dialog can give: three decimals within the limits.
    const std::optional<double> valido = interpreta(compatto(secondi, QLatin1Char('.')));
    if (!valido) return;
    valore_ = *valido;
    finestra_.sessione().impostaLockout(valore_);
    store_.scrivi(QString::fromLatin1(sezione), QString::fromLatin1(chiave), compatto(valore_, QLatin1Char('.')));
    mostra();
}

void TempoMinimoGiro::mostra()
{
    finestra_.setWindowTitle(valore_ == predefinito
                                 ? titolo_
                                 : titolo_ + QStringLiteral(" - Tempo minimo sul giro: %1 s").arg(testo(valore_)));
}

std::optional<double> TempoMinimoGiro::interpreta(const QString &testo)
{
    static const QRegularExpression forma(QStringLiteral("^\\s*\\d{1,3}([.,]\\d{1,3})?\\s*$"));
    if (!forma.match(testo).hasMatch()) return std::nullopt;
    bool ok = false;
    const double v = QString(testo).replace(QLatin1Char(','), QLatin1Char('.')).trimmed().toDouble(&ok);
    if (!ok || v < minimo || v > massimo) return std::nullopt;
    return v;
}

QString TempoMinimoGiro::testo(double secondi) { return compatto(secondi, QLatin1Char(',')); }

std::optional<double> TempoMinimoGiro::chiediConDialogo(QWidget *genitore, double attuale)
{
    QDialog d(genitore);
    d.setWindowTitle(QStringLiteral("Tempo minimo sul giro"));
    auto *spiega = new QLabel(QStringLiteral("Un passaggio che arriva entro questo tempo dall'ultimo\n"
                                             "passaggio accettato della stessa corsia non conta.\n"
                                             "Secondi, da %1 a %2:")
                                  .arg(testo(minimo), testo(massimo)),
                              &d);
    auto *secondi = new QDoubleSpinBox(&d);
    secondi->setObjectName(QStringLiteral("secondi"));
    secondi->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    secondi->setDecimals(3);
    secondi->setRange(minimo, massimo);
    secondi->setSingleStep(0.1);
    secondi->setSuffix(QStringLiteral(" s"));
    secondi->setValue(attuale);
    auto *pulsanti = new QDialogButtonBox(&d);
    pulsanti->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    pulsanti->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(pulsanti, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    connect(pulsanti, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    auto *layout = new QVBoxLayout(&d);
    layout->addWidget(spiega);
    layout->addWidget(secondi);
    layout->addWidget(pulsanti);
    secondi->selectAll();
    if (d.exec() != QDialog::Accepted) return std::nullopt;
    return secondi->value();
}

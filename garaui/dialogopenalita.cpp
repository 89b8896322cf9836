#include "garaui/dialogopenalita.h"

#include "comune/caratteri.h"
#include "gara/testigara.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>
#include <cmath>

using namespace gara;

DialogoPenalita::DialogoPenalita(const Gara &gara, const QVector<Iscritto> &iscritti, const std::optional<Manche> &manche,
                                 Invio invio, QWidget *parent)
    : QDialog(parent), gara_(gara), manche_(manche), invio_(std::move(invio))
{
    setObjectName(QStringLiteral("DialogoPenalita"));
    setWindowTitle(QStringLiteral("Penalità"));
    setFont(carattere(11));
    pilota_ = new QComboBox(this);
    pilota_->setObjectName(QStringLiteral("pilota"));
    // The heat's drivers first, by lane, then the rest of the entry list.
    QSet<qint64> inManche;
    if (manche_)
        for (int c = 0; c < corsieMassime; ++c)
            for (const Iscritto &i : iscritti)
                if (i.id == manche_->corsie[c]) {
                    pilota_->addItem(QStringLiteral("%1 (corsia %2)").arg(i.nome).arg(c + 1), i.nome);
                    inManche.insert(i.id);
                }
    for (const Iscritto &i : iscritti)
        if (!inManche.contains(i.id)) pilota_->addItem(i.nome, i.nome);
    ambito_ = new QComboBox(this);
    ambito_->setObjectName(QStringLiteral("ambito"));
    if (manche_) ambito_->addItem(QStringLiteral("Manche %1").arg(manche_->numero), manche_->id);
    ambito_->addItem(QStringLiteral("Tutta la gara"), qint64(0));
    tipo_ = new QComboBox(this);
    tipo_->setObjectName(QStringLiteral("tipo"));
    tipo_->addItem(QStringLiteral("Giri (+/-)"), int(TipoVoce::Giri));
    tipo_->addItem(QStringLiteral("Secondi (+/-)"), int(TipoVoce::Secondi));
    tipo_->addItem(QStringLiteral("Squalifica"), int(TipoVoce::Squalifica));
    tipo_->addItem(QStringLiteral("Avviso"), int(TipoVoce::Avviso));
    quantita_ = new QLineEdit(QStringLiteral("-1"), this);
    quantita_->setObjectName(QStringLiteral("quantita"));
    unita_ = new QLabel(this);
    motivo_ = new QLineEdit(this);
    motivo_->setObjectName(QStringLiteral("motivo"));
    motivo_->setPlaceholderText(QStringLiteral("per esempio: taglio di pista alla curva 2"));
    esito_ = new QLabel(this);
    esito_->setObjectName(QStringLiteral("esito"));
    esito_->setWordWrap(true);
    esito_->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));

    auto *riga = new QHBoxLayout;
    riga->addWidget(quantita_);
    riga->addWidget(unita_);
    auto *modulo = new QFormLayout;
    modulo->addRow(QStringLiteral("Pilota:"), pilota_);
    modulo->addRow(QStringLiteral("Su:"), ambito_);
    modulo->addRow(QStringLiteral("Penalità:"), tipo_);
    modulo->addRow(QStringLiteral("Quanto:"), riga);
    modulo->addRow(QStringLiteral("Motivo:"), motivo_);
    auto *pulsanti = new QDialogButtonBox(this);
    conferma_ = pulsanti->addButton(QStringLiteral("Dai la penalità"), QDialogButtonBox::AcceptRole);
    conferma_->setObjectName(QStringLiteral("conferma"));
    conferma_->setDefault(true);
    pulsanti->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(pulsanti, &QDialogButtonBox::accepted, this, &DialogoPenalita::invia);
    connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tipo_, &QComboBox::currentIndexChanged, this, &DialogoPenalita::aggiornaQuantita);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(modulo);
    layout->addWidget(esito_);
    layout->addWidget(pulsanti);
    aggiornaQuantita();
    motivo_->setFocus();
}

void DialogoPenalita::aggiornaQuantita()
{
    const auto t = static_cast<TipoVoce>(tipo_->currentData().toInt());
    const bool conQuantita = t == TipoVoce::Giri || t == TipoVoce::Secondi;
    quantita_->setEnabled(conQuantita);
    unita_->setText(t == TipoVoce::Giri ? QStringLiteral("giri") : t == TipoVoce::Secondi ? QStringLiteral("secondi") : QString());
    if (t == TipoVoce::Giri) quantita_->setText(QStringLiteral("-1"));
    if (t == TipoVoce::Secondi) quantita_->setText(QStringLiteral("+1"));
}

std::optional<Sanzione> DialogoPenalita::sanzione(QString *errore) const
{
    auto rifiuta = [errore](const QString &m) {
        if (errore) *errore = m;
        return std::nullopt;
    };
    if (pilota_->currentIndex() < 0) return rifiuta(QStringLiteral("Scegliere il pilota."));
    Sanzione s;
    s.gara = gara_.id;
    s.manche = ambito_->currentData().toLongLong();
    s.pilota = pilota_->currentData().toString();
    s.tipo = static_cast<TipoVoce>(tipo_->currentData().toInt());
    s.motivo = motivo_->text().trimmed();
    if (s.tipo == TipoVoce::Giri || s.tipo == TipoVoce::Secondi) {
        const std::optional<double> v = leggiNumero(quantita_->text());
        if (!v || *v == 0)
            return rifiuta(s.tipo == TipoVoce::Giri ? QStringLiteral("Indicare di quanti giri è la penalità, per esempio -1 o +2.")
                                                    : QStringLiteral("Indicare di quanti secondi è la penalità, per esempio +1 o -0,5."));
        if (s.tipo == TipoVoce::Giri && *v != std::round(*v))
            return rifiuta(QStringLiteral("I giri di penalità sono un numero intero, per esempio -1."));
        if (s.tipo == TipoVoce::Giri) s.giri = int(*v);
        else s.secondi = *v;
    }
    if (s.motivo.isEmpty()) return rifiuta(QStringLiteral("Indicare il motivo della penalità."));
    return s;
}

void DialogoPenalita::invia()
{
    QString errore;
    const std::optional<Sanzione> s = sanzione(&errore);
    esito_->setText(errore);
    if (!s) return;
    conferma_->setEnabled(false);
    invio_(*s, [this, dialogo = QPointer<DialogoPenalita>(this)](bool fatto, const QString &motivo) {
        if (!dialogo) return;
        conferma_->setEnabled(true);
        if (fatto) accept();
        else esito_->setText(motivo);
    });
}

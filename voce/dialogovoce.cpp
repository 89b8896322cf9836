#include "voce/dialogovoce.h"

#include "voce/serviziovoce.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {
QCheckBox *casella(QWidget *genitore, const char *nome, const QString &testo, bool valore)
{
    auto *c = new QCheckBox(testo, genitore);
    c->setObjectName(QString::fromLatin1(nome));
    c->setChecked(valore);
    return c;
}

QSlider *cursore(QWidget *genitore, const char *nome, int minimo, int massimo, int valore)
{
    auto *s = new QSlider(Qt::Horizontal, genitore);
    s->setObjectName(QString::fromLatin1(nome));
    s->setRange(minimo, massimo);
    s->setValue(valore);
    return s;
}
} // namespace

DialogoVoce::DialogoVoce(ServizioVoce &servizio, QWidget *parent) : QDialog(parent), servizio_(servizio)
{
    setWindowTitle(QStringLiteral("Annunci vocali"));
    const ImpostazioniVoce v = servizio_.impostazioni();
    attivi_ = casella(this, "attivi", QStringLiteral("Annunci vocali attivi"), v.attivi);
    gruppoVoce_ = new QGroupBox(QStringLiteral("Cosa annunciare"), this);
    ogniGiro_ = casella(gruppoVoce_, "ogniGiro", QStringLiteral("Ogni giro (pilota, giro, tempo)"), v.ogniGiro);
    migliorGiro_ = casella(gruppoVoce_, "migliorGiro", QStringLiteral("Miglior giro del pilota"), v.migliorGiro);
    giroVeloce_ = casella(gruppoVoce_, "giroVeloce", QStringLiteral("Giro più veloce della sessione"), v.giroVeloce);
    tempoRimasto_ = casella(gruppoVoce_, "tempoRimasto",
                            QStringLiteral("Mancano 5 minuti, ultimo minuto e fine della sessione"), v.tempoRimasto);
    partenza_ = casella(gruppoVoce_, "partenza", QStringLiteral("Partenza della sessione"), v.partenza);
    gara_ = casella(gruppoVoce_, "gara",
                    QStringLiteral("Gare: ultimo giro, bandiera a scacchi, falsa partenza, neutralizzazione, prossima manche"),
                    v.gara);
    voce_ = new QComboBox(gruppoVoce_);
    voce_->setObjectName(QStringLiteral("voce"));
    velocita_ = cursore(gruppoVoce_, "velocita", -10, 10, qRound(v.velocita * 10));
    volume_ = cursore(gruppoVoce_, "volume", 0, 100, qRound(v.volume * 100));
    prova_ = new QPushButton(QStringLiteral("Prova"), gruppoVoce_);
    prova_->setObjectName(QStringLiteral("prova"));
    auto *moduloVoce = new QFormLayout;
    moduloVoce->addRow(QStringLiteral("Voce:"), voce_);
    moduloVoce->addRow(QStringLiteral("Velocità:"), velocita_);
    moduloVoce->addRow(QStringLiteral("Volume:"), volume_);
    auto *layoutVoce = new QVBoxLayout(gruppoVoce_);
    for (QCheckBox *c : {ogniGiro_, migliorGiro_, giroVeloce_, tempoRimasto_, partenza_, gara_}) layoutVoce->addWidget(c);
    layoutVoce->addLayout(moduloVoce);
    layoutVoce->addWidget(prova_, 0, Qt::AlignLeft);

    gruppoToni_ = new QGroupBox(QStringLiteral("Toni"), this);
    tonoGiro_ = casella(gruppoToni_, "tonoGiro", QStringLiteral("Tono acuto a ogni giro valido"), v.tonoGiro);
    tonoIgnorato_ = casella(gruppoToni_, "tonoIgnorato",
                            QStringLiteral("Tono grave per un passaggio ignorato (tempo minimo sul giro)"), v.tonoIgnorato);
    toniPartenza_ = casella(gruppoToni_, "toniPartenza",
                            QStringLiteral("Toni della partenza di gara (ogni luce e il via)"), v.toniPartenza);
    auto *layoutToni = new QVBoxLayout(gruppoToni_);
    layoutToni->addWidget(tonoGiro_);
    layoutToni->addWidget(tonoIgnorato_);
    layoutToni->addWidget(toniPartenza_);

    stato_ = new QLabel(this);
    stato_->setObjectName(QStringLiteral("stato"));
    stato_->setWordWrap(true);
    auto *pulsanti = new QDialogButtonBox(this);
    pulsanti->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(pulsanti, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(attivi_);
    layout->addWidget(gruppoVoce_);
    layout->addWidget(gruppoToni_);
    layout->addWidget(stato_);
    layout->addWidget(pulsanti);

    for (QCheckBox *c : findChildren<QCheckBox *>()) connect(c, &QCheckBox::toggled, this, &DialogoVoce::cambiato);
    for (QSlider *s : {velocita_, volume_}) connect(s, &QSlider::valueChanged, this, &DialogoVoce::cambiato);
    connect(voce_, &QComboBox::currentIndexChanged, this, &DialogoVoce::cambiato);
    connect(prova_, &QPushButton::clicked, this, [this] { servizio_.prova(scelte()); });
    connect(&servizio_, &ServizioVoce::statoCambiato, this, &DialogoVoce::mostraStato);
    mostraStato();
    servizio_.prepara();
}

ImpostazioniVoce DialogoVoce::scelte() const
{
    ImpostazioniVoce v = servizio_.impostazioni();
    v.attivi = attivi_->isChecked();
    v.ogniGiro = ogniGiro_->isChecked();
    v.migliorGiro = migliorGiro_->isChecked();
    v.giroVeloce = giroVeloce_->isChecked();
    v.tempoRimasto = tempoRimasto_->isChecked();
    v.partenza = partenza_->isChecked();
    v.voce = voce_->currentData().toString();
    v.velocita = velocita_->value() / 10.0;
    v.volume = volume_->value() / 100.0;
    v.tonoGiro = tonoGiro_->isChecked();
    v.tonoIgnorato = tonoIgnorato_->isChecked();
    v.gara = gara_->isChecked();
    v.toniPartenza = toniPartenza_->isChecked();
    return v;
}

void DialogoVoce::cambiato()
{
    if (!riempiendo_) servizio_.imposta(scelte());
}

// The voices and what is missing, as the engines told; the list keeps the chosen voice.
void DialogoVoce::mostraStato()
{
    riempiendo_ = true;
    const QString scelta = servizio_.impostazioni().voce;
    voce_->clear();
    voce_->addItem(QStringLiteral("Predefinita"), QString());
    for (const QString &nome : servizio_.voci()) voce_->addItem(nome, nome);
    if (!scelta.isEmpty() && voce_->findData(scelta) < 0) voce_->addItem(scelta, scelta); // not offered now, kept
    voce_->setCurrentIndex(std::max(0, voce_->findData(scelta)));
    riempiendo_ = false;

    QStringList righe;
    if (!servizio_.statoNoto()) righe << QStringLiteral("Verifica della sintesi vocale e dell'uscita audio...");
    const bool senzaVoce = !servizio_.problemaVoce().isEmpty(), senzaToni = !servizio_.problemaToni().isEmpty();
    if (senzaVoce)
        righe << QStringLiteral("Gli annunci vocali non sono disponibili su questo sistema: %1.").arg(servizio_.problemaVoce());
    if (senzaToni)
        righe << QStringLiteral("I toni non sono disponibili su questo sistema: %1.").arg(servizio_.problemaToni());
    stato_->setText(righe.join(QLatin1Char('\n')));
    stato_->setVisible(!righe.isEmpty());
    prova_->setEnabled(!senzaVoce);
}

void DialogoVoce::done(int risultato)
{
    servizio_.salva();
    QDialog::done(risultato);
}

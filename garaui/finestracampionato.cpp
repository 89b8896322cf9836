#include "garaui/finestracampionato.h"

#include "comune/caratteri.h"
#include "comune/messaggi.h"
#include "gara/gestionegare.h"
#include "gara/testigara.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace gara;

FinestraCampionato::FinestraCampionato(GestioneGare &gestione, Messaggi &messaggi, QWidget *parent)
    : QDialog(parent), gestione_(gestione), messaggi_(messaggi)
{
    setObjectName(QStringLiteral("FinestraCampionato"));
    setWindowTitle(QStringLiteral("Campionato"));
    setFont(carattere(10));
    resize(900, 560);
    campionatiCmb_ = new QComboBox(this);
    campionatiCmb_->setObjectName(QStringLiteral("campionatiCmb"));
    nome_ = new QLineEdit(this);
    nome_->setObjectName(QStringLiteral("nome"));
    punti_ = new QLineEdit(this);
    punti_->setObjectName(QStringLiteral("punti"));
    scarti_ = new QSpinBox(this);
    scarti_->setObjectName(QStringLiteral("scarti"));
    scarti_->setRange(0, 50);
    classifica_ = new QTableWidget(this);
    classifica_->setObjectName(QStringLiteral("classificaCampionato"));
    classifica_->verticalHeader()->hide();
    classifica_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    classifica_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto pulsante = [this](const char *nome, const QString &testo) {
        auto *b = new QPushButton(testo, this);
        b->setObjectName(QString::fromLatin1(nome));
        b->setAutoDefault(false);
        return b;
    };
    auto *nuovo = pulsante("nuovoBtn", QStringLiteral("Nuovo campionato"));
    auto *salva = pulsante("salvaBtn", QStringLiteral("Salva"));
    auto *stampa = pulsante("stampaBtn", QStringLiteral("Stampa classifica"));
    auto *chiudi = pulsante("chiudiBtn", QStringLiteral("Chiudi"));
    auto *alto = new QHBoxLayout;
    alto->addWidget(new QLabel(QStringLiteral("Campionato:"), this));
    alto->addWidget(campionatiCmb_, 1);
    alto->addWidget(nuovo);
    auto *modulo = new QFormLayout;
    modulo->addRow(QStringLiteral("Nome:"), nome_);
    modulo->addRow(QStringLiteral("Punti per posizione:"), punti_);
    modulo->addRow(QStringLiteral("Risultati peggiori scartati:"), scarti_);
    auto *basso = new QHBoxLayout;
    basso->addWidget(salva);
    basso->addWidget(stampa);
    basso->addStretch();
    basso->addWidget(chiudi);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(alto);
    layout->addLayout(modulo);
    layout->addWidget(new QLabel(QStringLiteral("Le gare entrano nel campionato dalla finestra Gara. A parità di punti "
                                                "conta chi ha più vittorie, poi più secondi posti, e così via."), this));
    layout->addWidget(classifica_, 1);
    layout->addLayout(basso);
    connect(campionatiCmb_, &QComboBox::activated, this, [this] {
        nuovo_ = false;
        gestione_.scegliCampionato(campionatiCmb_->currentData().toLongLong());
    });
    connect(nuovo, &QPushButton::clicked, this, [this] {
        nuovo_ = true;
        nome_->clear();
        punti_->setText(QStringLiteral("10-8-6-5-4-3-2-1"));
        scarti_->setValue(0);
        classifica_->setRowCount(0);
        nome_->setFocus();
    });
    connect(salva, &QPushButton::clicked, this, &FinestraCampionato::salva);
    connect(stampa, &QPushButton::clicked, this, [this] {
        if (gestione_.stato().campionato) emit this->stampa(StampaGara::Documento::Campionato, gestione_.stato().campionato->id);
    });
    connect(chiudi, &QPushButton::clicked, this, &QDialog::reject);
    connect(&gestione_, &GestioneGare::cambiata, this, &FinestraCampionato::mostra);
}

QPushButton *FinestraCampionato::pulsante(const QString &nome) const { return findChild<QPushButton *>(nome); }

void FinestraCampionato::apri(qint64 id)
{
    gestione_.aggiorna([this, id] {
        const QVector<Campionato> &l = gestione_.stato().campionati;
        const qint64 scelto = id > 0 ? id : l.isEmpty() ? 0 : l.first().id;
        nuovo_ = scelto == 0;
        gestione_.scegliCampionato(scelto);
        if (nuovo_) pulsante(QStringLiteral("nuovoBtn"))->click();
    });
}

void FinestraCampionato::salva()
{
    QString errore;
    const std::optional<TabellaPunti> punti = leggiTabellaPunti(punti_->text(), &errore);
    if (!punti) {
        messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Campionato"));
        return;
    }
    Campionato c = nuovo_ || !gestione_.stato().campionato ? Campionato{} : *gestione_.stato().campionato;
    c.nome = nome_->text();
    c.scarti = scarti_->value();
    c.punti = *punti;
    gestione_.salvaCampionato(c, [this](bool fatto, const QString &e, const QStringList &) {
        if (fatto) nuovo_ = false;
        else messaggi_.mostra(e, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Campionato"));
    });
}

void FinestraCampionato::mostra()
{
    const GestioneGare::Stato &s = gestione_.stato();
    campionatiCmb_->clear();
    for (const Campionato &c : s.campionati) campionatiCmb_->addItem(c.nome, c.id);
    campionatiCmb_->setCurrentIndex(s.campionato ? campionatiCmb_->findData(s.campionato->id) : -1);
    if (nuovo_) return;
    if (!s.campionato) {
        classifica_->setRowCount(0);
        return;
    }
    nome_->setText(s.campionato->nome);
    QStringList punti;
    for (int v : s.campionato->punti.punti) punti << QString::number(v);
    punti_->setText(punti.join(QLatin1Char('-')));
    scarti_->setValue(s.campionato->scarti);
    const ClassificaCampionato &c = s.classifica;
    QStringList testata{QStringLiteral("Pos."), QStringLiteral("Pilota")};
    for (const GaraDelCampionato &g : c.gare)
        testata << QStringLiteral("%1\n%2").arg(g.nome, g.data.toString(QStringLiteral("dd/MM/yyyy")));
    testata << QStringLiteral("Totale") << QStringLiteral("Vittorie") << QStringLiteral("Spareggio");
    classifica_->clear();
    classifica_->setColumnCount(int(testata.size()));
    classifica_->setHorizontalHeaderLabels(testata);
    classifica_->setRowCount(int(c.righe.size()));
    for (int r = 0; r < c.righe.size(); ++r) {
        const RigaCampionato &riga = c.righe[r];
        QStringList celle{QString::number(riga.posizione) + (riga.exAequo ? QStringLiteral(" ex aequo") : QString()), riga.nome};
        for (int g = 0; g < riga.punti.size(); ++g) {
            const QString v = riga.punti[g] < 0 ? QStringLiteral("-") : QString::number(riga.punti[g]);
            celle << (riga.scartata.value(g) ? QStringLiteral("(%1)").arg(v) : v);
        }
        celle << QString::number(riga.totale) << QString::number(riga.piazzamenti.value(0)) << riga.spareggio;
        for (int k = 0; k < celle.size(); ++k) classifica_->setItem(r, k, new QTableWidgetItem(celle[k]));
    }
}

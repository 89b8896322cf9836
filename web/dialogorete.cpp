#include "web/dialogorete.h"

#include "web/codiceqr.h"
#include "web/risultatiinrete.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

DialogoRete::DialogoRete(RisultatiInRete &rete, QWidget *parent)
    : QDialog(parent), rete_(rete), attiva_(new QCheckBox(QStringLiteral("Pubblica i risultati in rete"), this)),
      porta_(new QSpinBox(this)), stato_(new QLabel(this)), indirizzi_(new QLabel(this)), qr_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Risultati in rete"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    attiva_->setObjectName(QStringLiteral("attiva"));
    porta_->setObjectName(QStringLiteral("porta"));
    porta_->setRange(1, 65535);
    stato_->setWordWrap(true);
    indirizzi_->setTextFormat(Qt::RichText);
    indirizzi_->setOpenExternalLinks(true);
    indirizzi_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    qr_->setAlignment(Qt::AlignCenter);

    auto *modulo = new QFormLayout;
    modulo->addRow(attiva_);
    modulo->addRow(QStringLiteral("Porta:"), porta_);
    auto *pulsanti = new QDialogButtonBox(QDialogButtonBox::Close, this);
    pulsanti->button(QDialogButtonBox::Close)->setText(QStringLiteral("Chiudi"));
    connect(pulsanti, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *colonna = new QVBoxLayout(this);
    colonna->addLayout(modulo);
    colonna->addWidget(stato_);
    colonna->addWidget(indirizzi_);
    colonna->addWidget(qr_);
    colonna->addWidget(pulsanti);

    attiva_->setChecked(rete_.attivo());
    porta_->setValue(rete_.porta());
    connect(attiva_, &QCheckBox::toggled, this, &DialogoRete::applica);
    connect(porta_, &QSpinBox::editingFinished, this, [this] {
        if (porta_->value() != rete_.porta()) applica();
    });
    mostra();
}

void DialogoRete::applica()
{
    rete_.imposta(attiva_->isChecked(), quint16(porta_->value()));
    mostra();
}

void DialogoRete::mostra()
{
    const QStringList indirizzi = rete_.indirizzi();
    QString stato;
    if (!rete_.errore().isEmpty())
        stato = QStringLiteral("<span style=\"color:#c00000\">%1</span>").arg(rete_.errore().toHtmlEscaped());
    else if (!rete_.inServizio())
        stato = QStringLiteral("La pagina dei risultati è spenta.");
    else if (indirizzi.isEmpty())
        stato = QStringLiteral("La pagina è attiva, ma il computer non è collegato a nessuna rete.");
    else
        stato = QStringLiteral("La pagina è attiva: aprire uno di questi indirizzi su un telefono o su un "
                               "televisore collegato alla stessa rete.");
    stato_->setText(stato);
    const bool mostraIndirizzi = rete_.inServizio() && !indirizzi.isEmpty();
    QStringList collegamenti;
    for (const QString &i : indirizzi) collegamenti.append(QStringLiteral("<a href=\"%1\">%1</a>").arg(i));
    indirizzi_->setText(collegamenti.join(QStringLiteral("<br>")));
    indirizzi_->setVisible(mostraIndirizzi);
    const QImage qr = mostraIndirizzi ? codiceQr(indirizzi.first()) : QImage();
    qr_->setPixmap(qr.isNull() ? QPixmap() : QPixmap::fromImage(qr.scaled(qr.size() * 5)));
    qr_->setVisible(!qr.isNull());
    adjustSize();
}

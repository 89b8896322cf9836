#include "shell/avvisoattesa.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AvvisoAttesa::~AvvisoAttesa() { delete finestra_; }

void AvvisoAttesa::mostra(const QString &testo, bool annullabile)
{
    attesa_ = testo;
    annullabile_ = annullabile;
    aggiorna();
}

void AvvisoAttesa::nascondi()
{
    attesa_.clear();
    annullabile_ = false;
    aggiorna();
}

void AvvisoAttesa::impostaCoda(const QStringList &comandi, const QString &inCorso)
{
    coda_ = comandi.isEmpty() ? QString() : QStringLiteral("In coda: ") + comandi.join(QStringLiteral(", "));
    inCorso_ = inCorso;
    aggiorna();
}

void AvvisoAttesa::aggiorna()
{
    if (attesa_.isEmpty() && coda_.isEmpty()) {
        if (finestra_) finestra_->hide();
        return;
    }
    if (!finestra_) {
        finestra_ = new QWidget(QApplication::activeWindow(), Qt::Tool | Qt::WindowDoesNotAcceptFocus
                                                                  | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
        finestra_->setObjectName(QStringLiteral("avvisoAttesa"));
        finestra_->setAttribute(Qt::WA_ShowWithoutActivating);
        finestra_->setFocusPolicy(Qt::NoFocus);
        finestra_->setWindowTitle(QApplication::applicationName());
        auto *layout = new QVBoxLayout(finestra_);
        testo_ = new QLabel(finestra_);
        annullaBtn_ = new QPushButton(QStringLiteral("Annulla"), finestra_);
        annullaBtn_->setFocusPolicy(Qt::NoFocus);
        QObject::connect(annullaBtn_, &QPushButton::clicked, finestra_, [this] { annulla_(); });
        layout->addWidget(testo_);
        layout->addWidget(annullaBtn_, 0, Qt::AlignRight);
    }
    const QString principale = attesa_.isEmpty() ? inCorso_ : attesa_;
    testo_->setText(coda_.isEmpty() ? principale : principale + QLatin1Char('\n') + coda_);
    annullaBtn_->setVisible(annullabile_ && !attesa_.isEmpty());
    if (!finestra_->isVisible()) finestra_->show();
}

#include "shell/avvisoattesa.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AvvisoAttesa::~AvvisoAttesa() { delete finestra_; }

void AvvisoAttesa::mostra(const QString &testo, bool annullabile)
{
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
    testo_->setText(testo);
    annullaBtn_->setVisible(annullabile);
    if (!finestra_->isVisible()) finestra_->show();
}

void AvvisoAttesa::nascondi()
{
    if (finestra_) finestra_->hide();
}

#include "shell/applicazione.h"

#include "shell/frmabout.h"
#include "timing/rilevago.h"

#include <QApplication>

Applicazione::Applicazione() = default;

Applicazione::~Applicazione()
{
    delete rilevaGo_;
}

void Applicazione::avvia()
{
    // Until the start window takes the drivers, the timing window opens with examples.
    apriRilevaGo({QStringLiteral("Alfa"), QStringLiteral("Beta"), QStringLiteral("Gamma")});
}

void Applicazione::apriRilevaGo(const QStringList &piloti)
{
    auto *finestra = new RilevaGo(orologio_, messaggi_, archivioNullo_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    rilevaGo_ = finestra;
    collegaMenu(finestra);
    for (int i = 0; i < piloti.size() && i < 8; ++i) finestra->sessione().impostaPilota(i, piloti[i]);
    finestra->inizializza();
    finestra->show();
}

void Applicazione::collegaMenu(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaGo::menuEsci, qApp, [] { QCoreApplication::exit(0); });
}

void Applicazione::mostraInformazioni()
{
    FrmAbout about(QApplication::activeWindow());
    about.exec();
}

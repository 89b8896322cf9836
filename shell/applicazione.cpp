#include "shell/applicazione.h"

#include "database/schema.h"
#include "results/grigliarisultati.h"
#include "setup/rilevaavvio.h"
#include "shell/frmabout.h"
#include "timing/rilevago.h"

#include <QApplication>

Applicazione::Applicazione(const QString &percorsoDatabase)
    : percorsoDatabase_(percorsoDatabase.isEmpty() ? schema::percorsoDatabase() : percorsoDatabase)
{
}

Applicazione::~Applicazione()
{
    delete rilevaGo_;
    delete rilevaAvvio_;
}

void Applicazione::avvia()
{
    apriRilevaAvvio();
}

// A file that cannot be opened is reported and the program goes on without it.
void Applicazione::apriDatabase()
{
    try {
        schema::apriDatabase(database_, percorsoDatabase_);
    } catch (const ErroreDatabase &e) {
        Messaggi &messaggi = messaggi_;
        messaggi.mostra(e.messaggio(), Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    }
}

void Applicazione::apriRilevaAvvio()
{
    if (!database_.aperto()) apriDatabase();
    auto *finestra = new RilevaAvvio(database_, messaggi_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    rilevaAvvio_ = finestra;
    connect(finestra, &RilevaAvvio::avvia, this, &Applicazione::apriRilevaGo);
    connect(finestra, &RilevaAvvio::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaAvvio::menuEsci, qApp, [] { QCoreApplication::exit(0); });
    finestra->carica();
    finestra->show();
}

void Applicazione::apriRilevaGo(const QStringList &piloti)
{
    auto *finestra = new RilevaGo(orologio_, messaggi_, archivio_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    finestra->impostaTabelle(new GriglieRisultati(database_, messaggi_, finestra->griglia1(),
                                                  finestra->griglia2(), finestra));
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
    // Back to a fresh start window; it opens before this one closes so the program goes on.
    connect(finestra, &RilevaGo::menuPiloti, this, [this, finestra] {
        apriRilevaAvvio();
        finestra->close();
    });
}

void Applicazione::mostraInformazioni()
{
    FrmAbout about(QApplication::activeWindow());
    about.exec();
}

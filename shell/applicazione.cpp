#include "shell/applicazione.h"

#include "database/cancellatempi.h"
#include "database/schema.h"
#include "database/sessionisalvate.h"
#include "results/classificamostrata.h"
#include "results/grigliarisultati.h"
#include "results/stampa.h"
#include "results/visualtempi.h"
#include "setup/rilevaavvio.h"
#include "shell/frmabout.h"
#include "timing/rilevago.h"
#include "serial/portaqt.h"
#include "serial/portsett.h"
#include "timing/ingressoseriale.h"

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
    apriDatabase();
    if (database_.aperto()) copie_.copiaAllAvvio(messaggi_);
    apriRilevaAvvio();
}

// A file that cannot be opened is reported and the program goes on without it.
void Applicazione::apriDatabase()
{
    try {
        schema::apriDatabase(database_, percorsoDatabase_);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_);
    }
}

void Applicazione::apriRilevaAvvio()
{
    auto *finestra = new RilevaAvvio(database_, messaggi_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    rilevaAvvio_ = finestra;
    connect(finestra, &RilevaAvvio::avvia, this, &Applicazione::apriRilevaGo);
    connect(finestra, &RilevaAvvio::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaAvvio::menuEsci, qApp, [] { QCoreApplication::exit(0); });
    connect(finestra, &RilevaAvvio::menuLoad, this, [this] {
        SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_).carica(nullptr);
    });
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
    collegaSeriale(finestra); // its load runs before the lanes are filled
    for (int i = 0; i < piloti.size() && i < 8; ++i) finestra->sessione().impostaPilota(i, piloti[i]);
    finestra->inizializza();
    finestra->show();
}

namespace {
// The port and the serial lap input of one timing window; the port closes with the window.
class CollegamentoSeriale : public QObject {
public:
    CollegamentoSeriale(ImpostazioniPorta &store, Messaggi &messaggi, RilevaGo *finestra)
        : QObject(finestra), porta(store), vista(*finestra),
          ingresso(porta, finestra->sessione(), messaggi, store, vista)
    {
        finestra->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *evento) override
    {
        if (evento->type() == QEvent::Close) porta.setPortOpen(false);
        return false;
    }
    PortaQt porta;
    VistaLineeRilevaGo vista;
    IngressoSeriale ingresso;
};
} // namespace

void Applicazione::collegaSeriale(RilevaGo *finestra)
{
    auto *seriale = new CollegamentoSeriale(impostazioniPorta_, messaggi_, finestra);
    connect(finestra, &RilevaGo::menuPortSetting, seriale, [this, finestra, seriale] {
        PortSett dialogo(seriale->porta, impostazioniPorta_, messaggi_, finestra);
        dialogo.exec();
    });
    seriale->ingresso.Form_Load();
}

void Applicazione::collegaMenu(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaGo::menuEsci, qApp, [] { QCoreApplication::exit(0); });
    // Back to a fresh start window; it opens before this one closes so the program goes on.
    connect(finestra, &RilevaGo::menuPiloti, this, [this, finestra] {
        if (!database_.aperto()) apriDatabase();
        apriRilevaAvvio();
        finestra->close();
    });
    // Report, driver times, saved sessions and the reset; each refreshes the window's grids.
    connect(finestra, &RilevaGo::menuStampa, this, [this] {
        Stampa(database_, percorsoDatabase_, messaggi_, dialogo_, stampanti_).stampa();
    });
    connect(finestra, &RilevaGo::menuTempiPiloti, this, [this, finestra] {
        Visualtempi viewer(database_, messaggi_, finestra);
        viewer.inizializza();
        viewer.exec();
    });
    connect(finestra, &RilevaGo::menuSave, this, [this, finestra] {
        if (auto *griglie = finestra->findChild<GriglieRisultati *>())
            SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_).salva(*griglie);
    });
    connect(finestra, &RilevaGo::menuLoad, this, [this, finestra] {
        SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_)
            .carica(finestra->findChild<GriglieRisultati *>());
    });
    connect(finestra, &RilevaGo::menuCancDatabase, this, [this, finestra] {
        auto *griglie = finestra->findChild<GriglieRisultati *>();
        if (!griglie) return;
        CancellaTempi(database_, percorsoDatabase_, messaggi_, finestra->sessione(), copie_)
            .menuCancDatabase(*griglie, [griglie] { return classificaConGiri(griglie->classifica()); });
    });
}

void Applicazione::mostraInformazioni()
{
    FrmAbout about(QApplication::activeWindow());
    about.exec();
}

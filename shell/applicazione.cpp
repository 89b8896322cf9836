#include "shell/applicazione.h"

#include "database/cancellatempi.h"
#include "database/schema.h"
#include "database/sessionisalvate.h"
#include "results/classificamostrata.h"
#include "results/esportazionecsv.h"
#include "results/grigliarisultati.h"
#include "results/stampa.h"
#include "results/visualtempi.h"
#include "serial/portsett.h"
#include "shell/frmabout.h"
#include "timing/lineaseriale.h"
#include "timing/tempominimo.h"
#include "voce/dialogovoce.h"
#include "web/dialogorete.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>

Applicazione::Applicazione(const QString &percorsoDatabase)
    : percorsoDatabase_(percorsoDatabase.isEmpty() ? schema::percorsoDatabase() : percorsoDatabase),
      archivio_(std::make_unique<ArchivioAsincrono>(database_, percorsoDatabase_, messaggi_)),
      rete_(std::make_unique<RisultatiInRete>(impostazioniPorta_, *archivio_)),
      voce_(std::make_unique<ServizioVoce>(impostazioniPorta_, messaggi_, orologio_))
{
}

Applicazione::~Applicazione()
{
    delete rilevaGo_;
    delete rilevaAvvio_;
    rete_.reset();
    voce_.reset();
    archivio_->ferma();
}

void Applicazione::avvia()
{
    apriDatabase();
    if (database_.aperto()) copie_.copiaAllAvvio(messaggi_);
    // The live page as the user left it; a port now taken is told without stopping the start.
    if (!rete_->applica())
        messaggi_.avvisa(QStringLiteral("La pagina dei risultati in rete non è partita. ") + rete_->errore());
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

bool Applicazione::esci()
{
    if (archivio_->giriInAttesa() == 0 || archivio_->svuota()) return true;
    const QString file = QDir::toNativeSeparators(archivio_->fileGiriInAttesa());
    const int n = archivio_->giriInAttesa();
    const QString quanti = n == 1 ? QStringLiteral("Un giro non è ancora stato salvato")
                                  : QStringLiteral("%1 giri non sono ancora stati salvati").arg(n);
    const QString domanda = quanti + QStringLiteral(" nel database.\nChiudendo ora saranno scritti nel file "
                                                    "di testo\n%1\nChiudere comunque?")
                                         .arg(file);
    if (messaggi_.mostra(domanda, Messaggi::Pulsanti::OkAnnulla, Messaggi::Icona::Esclamazione, {}, 1)
        != Messaggi::Risposta::Ok)
        return false;
    const QString scritto = archivio_->ferma();
    if (scritto.isEmpty() && archivio_->giriInAttesa() > 0)
        messaggi_.mostra(QStringLiteral("Impossibile scrivere i giri non salvati in un file di testo."),
                         Messaggi::Pulsanti::Ok, Messaggi::Icona::Critico);
    return true;
}

void Applicazione::apriRilevaAvvio()
{
    auto *finestra = new RilevaAvvio(database_, messaggi_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    rilevaAvvio_ = finestra;
    connect(finestra, &RilevaAvvio::avvia, this, &Applicazione::apriRilevaGo);
    connect(finestra, &RilevaAvvio::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaAvvio::menuEsci, this, [this] {
        if (esci()) QCoreApplication::exit(0);
    });
    connect(finestra, &RilevaAvvio::menuLoad, this, [this] {
        SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get()).carica(nullptr);
    });
    finestra->carica();
    finestra->show();
}

void Applicazione::apriRilevaGo(const QStringList &piloti)
{
    auto *finestra = new RilevaGo(orologio_, messaggi_, *archivio_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    auto *griglie = new GriglieRisultati(*archivio_, messaggi_, finestra->griglia1(), finestra->griglia2(), finestra);
    finestra->impostaTabelle(griglie);
    // The grids follow the writer's commits; the window shows laps that keep it waiting.
    connect(archivio_.get(), &ArchivioAsincrono::risultati, griglie, &GriglieRisultati::ricevi);
    connect(archivio_.get(), &ArchivioAsincrono::giriInAttesaDaMostrare, finestra, &RilevaGo::mostraGiriInAttesa);
    finestra->installEventFilter(this);
    rilevaGo_ = finestra;
    collegaMenu(finestra);
    collegaSeriale(finestra); // its load runs before the lanes are filled
    new TempoMinimoGiro(impostazioniPorta_, messaggi_, *finestra); // the shortest lap, owned by the window
    rete_->seguiSessione(&finestra->sessione());
    voce_->segui(&finestra->sessione());
    for (int i = 0; i < piloti.size() && i < 8; ++i) finestra->sessione().impostaPilota(i, piloti[i]);
    finestra->inizializza();
    finestra->show();
}

// Closing the timing window by its frame ends the program when no other window
// is left: laps still waiting are dealt with as by "Esci".
bool Applicazione::eventFilter(QObject *oggetto, QEvent *evento)
{
    if (evento->type() == QEvent::Close && oggetto == rilevaGo_) {
        const auto finestre = QApplication::topLevelWidgets();
        const bool ultima = std::none_of(finestre.begin(), finestre.end(), [this](QWidget *w) {
            return w != rilevaGo_ && w->isVisible() && !w->parentWidget();
        });
        if (ultima && !esci()) {
            evento->ignore();
            return true;
        }
    }
    return QObject::eventFilter(oggetto, evento);
}

void Applicazione::collegaSeriale(RilevaGo *finestra)
{
    auto *vista = new VistaLineeRilevaGo(*finestra);
    auto *linea = new LineaSeriale(impostazioniPorta_, orologio_, messaggi_, finestra->sessione(), *vista, finestra);
    connect(linea, &QObject::destroyed, [vista] { delete vista; });
    connect(finestra, &RilevaGo::menuPortSetting, linea, [this, finestra, linea] {
        PortSett dialogo(linea->porta(), impostazioniPorta_, messaggi_, finestra);
        dialogo.exec();
    });
    linea->ingresso().Form_Load();
}

void Applicazione::collegaMenu(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaGo::menuEsci, this, [this] {
        if (esci()) QCoreApplication::exit(0);
    });
    // Back to a fresh start window; it opens before this one closes so the program goes on.
    connect(finestra, &RilevaGo::menuPiloti, this, [this, finestra] {
        if (!database_.aperto()) apriDatabase();
        apriRilevaAvvio();
        finestra->close();
    });
    // Report, driver times, saved sessions and the reset read a file the writer has completed.
    connect(finestra, &RilevaGo::menuStampa, this, [this] {
        if (inStampa_) return; // the report being built is the one asked for
        inStampa_ = true;
        archivio_->svuota();
        Stampa(percorsoDatabase_, messaggi_, dialogo_, stampanti_).stampa();
        inStampa_ = false;
    });
    connect(finestra, &RilevaGo::menuEsportaCsv, this, [this] {
        if (inEsportazione_) return; // the export under way is the one asked for
        inEsportazione_ = true;
        EsportazioneCsv(percorsoDatabase_, messaggi_, dialogo_, archivio_.get()).esporta();
        inEsportazione_ = false;
    });
    connect(finestra, &RilevaGo::menuRisultatiInRete, this, [this, finestra] {
        DialogoRete dialogo(*rete_, finestra);
        dialogo.exec();
    });
    connect(finestra, &RilevaGo::menuAnnunciVocali, this, [this, finestra] {
        DialogoVoce dialogo(*voce_, finestra);
        dialogo.exec();
    });
    connect(finestra, &RilevaGo::menuTempiPiloti, this, [this, finestra] {
        archivio_->svuota();
        Visualtempi viewer(database_, messaggi_, finestra);
        // Corrections go through the lap writer, in order with the laps, and the lanes follow them.
        viewer.tempi().impostaCorrezioni(
            [this](const auto &lavoro, QString *errore) { return archivio_->esegui(lavoro, errore); },
            [finestra](const CorrezioneGiri &c) { finestra->sessione().applicaCorrezione(c); });
        viewer.inizializza();
        viewer.exec();
    });
    connect(finestra, &RilevaGo::menuSave, this, [this, finestra] {
        if (auto *griglie = finestra->findChild<GriglieRisultati *>())
            SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
                .salva(*griglie);
    });
    connect(finestra, &RilevaGo::menuLoad, this, [this, finestra] {
        SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
            .carica(finestra->findChild<GriglieRisultati *>());
    });
    connect(finestra, &RilevaGo::menuCancDatabase, this, [this, finestra] {
        auto *griglie = finestra->findChild<GriglieRisultati *>();
        if (!griglie) return;
        CancellaTempi(database_, percorsoDatabase_, messaggi_, finestra->sessione(), copie_, archivio_.get())
            .menuCancDatabase(*griglie, [griglie] { return classificaConGiri(griglie->classifica()); });
    });
}

void Applicazione::mostraInformazioni()
{
    FrmAbout about(QApplication::activeWindow());
    about.exec();
}

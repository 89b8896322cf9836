#include "shell/applicazione.h"

#include "database/cancellatempi.h"
#include "database/schema.h"
#include "gara/impostazionigara.h"
#include "database/sessionisalvate.h"
#include "results/classificamostrata.h"
#include "results/esportazionecsv.h"
#include "results/esportazioneexcel.h"
#include "results/grigliarisultati.h"
#include "results/stampa.h"
#include "results/visualtempi.h"
#include "serial/portsett.h"
#include "shell/frmabout.h"
#include "timing/globale.h"
#include "timing/lineaseriale.h"
#include "timing/tempominimo.h"
#include "voce/dialogovoce.h"
#include "web/dialogorete.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QSessionManager>

Applicazione::Applicazione(const QString &percorsoDatabase)
    : percorsoDatabase_(percorsoDatabase.isEmpty() ? schema::percorsoDatabase() : percorsoDatabase),
      archivio_(std::make_unique<ArchivioAsincrono>(database_, percorsoDatabase_, messaggi_)),
      rete_(std::make_unique<RisultatiInRete>(impostazioni_, *archivio_)),
      voce_(std::make_unique<ServizioVoce>(impostazioni_, messaggi_, orologio_)),
      avviso_(std::make_unique<AvvisoAttesa>([this] { attesa_->annulla(); })),
      attesa_(std::make_unique<AttesaScrittore>(*archivio_, *avviso_)),
      lavori_(std::make_unique<LavoriScrittore>(*archivio_)),
      direzione_(std::make_unique<DirezioneGara>(orologio_, *lavori_, usciteNulle_, casuale_))
{
    // What race control says and plays goes to the voice's thread; what it could not do is a notice.
    connect(direzione_.get(), &DirezioneGara::annuncio, voce_.get(), &ServizioVoce::annunciaGara);
    connect(direzione_.get(), &DirezioneGara::tono, voce_.get(), [this](DirezioneGara::Tono t) {
        voce_->tonoGara(t == DirezioneGara::Tono::Via ? Tono::Via : Tono::Luce);
    });
    connect(direzione_.get(), &DirezioneGara::errore, this, [this](const QString &testo) { messaggi_.avvisa(testo); });
    // The start and restart as the race director last set them.
    const ImpostazioniGara partenza = ImpostazioniGara::leggi(impostazioni_);
    direzione_->impostaPartenza(partenza.partenza);
    direzione_->impostaSecondiRipresa(partenza.secondiRipresa);
}

Applicazione::~Applicazione()
{
    attesa_->annulla();
    delete rilevaGo_;
    delete rilevaAvvio_;
    direzione_.reset();
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

void Applicazione::dopoIlSalvataggio(std::function<void(bool completo)> azione)
{
    // A second request while one waits is the same request; nothing starts during a Load.
    if (!chiusa_ && !inCaricamento_) attesa_->attendi(std::move(azione));
}

void Applicazione::esci()
{
    dopoIlSalvataggio([this](bool completo) {
        if (!completo && archivio_->giriInAttesa() > 0) {
            const QString file = QDir::toNativeSeparators(archivio_->fileGiriInAttesa());
            const int n = archivio_->giriInAttesa();
            const QString quanti = n == 1 ? QStringLiteral("Un giro non è ancora stato salvato")
                                          : QStringLiteral("%1 giri non sono ancora stati salvati").arg(n);
            const QString domanda = quanti + QStringLiteral(" nel database.\nChiudendo ora saranno scritti nel file "
                                                            "di testo\n%1\nChiudere comunque?")
                                                 .arg(file);
            if (messaggi_.mostra(domanda, Messaggi::Pulsanti::OkAnnulla, Messaggi::Icona::Esclamazione, {}, 1)
                != Messaggi::Risposta::Ok)
                return;
        }
        // The operator has chosen: a last try that does not wait for another program's lock.
        const QString scritto = archivio_->ferma(0);
        if (scritto.isEmpty() && archivio_->giriInAttesa() > 0)
            messaggi_.mostra(QStringLiteral("Impossibile scrivere i giri non salvati in un file di testo."),
                             Messaggi::Pulsanti::Ok, Messaggi::Icona::Critico);
        chiusa_ = true;
        emit terminata(0);
    });
}

void Applicazione::chiudiSenzaDomande()
{
    if (chiusa_) return;
    chiusa_ = true;
    attesa_->annulla();
    const int n = archivio_->giriInAttesa();
    const QString scritto = archivio_->ferma(scadenzaUscitaMs);
    if (!scritto.isEmpty())
        qWarning("%d giri non salvati nel database sono stati scritti in %s", n,
                 qUtf8Printable(QDir::toNativeSeparators(scritto)));
    emit terminata(0);
}

void Applicazione::seguiUscite(SegnaliUscita &segnali)
{
    connect(&segnali, &SegnaliUscita::richiesta, this, &Applicazione::chiudiSenzaDomande);
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &) { chiudiSenzaDomande(); });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &Applicazione::chiudiSenzaDomande);
}

void Applicazione::apriRilevaAvvio()
{
    auto *finestra = new RilevaAvvio(database_, messaggi_);
    finestra->setAttribute(Qt::WA_DeleteOnClose);
    rilevaAvvio_ = finestra;
    connect(finestra, &RilevaAvvio::avvia, this, [this](const QStringList &piloti) {
        // A practice session: no event is in use any more.
        direzione_->chiudiGara();
        apriRilevaGo(piloti);
    });
    connect(finestra, &RilevaAvvio::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaAvvio::menuEsci, this, &Applicazione::esci);
    connect(finestra, &RilevaAvvio::avviaGara, this, [this](const QStringList &piloti, const gara::Regole &regole) {
        // A race of the drivers typed: race control puts them on their lanes.
        apriRilevaGo({});
        direzione_->garaVeloce(piloti, regole, globale().nomePista);
    });
    connect(finestra, &RilevaAvvio::menuGara, this, [this, finestra] { apriGare(finestra, 0, 0); });
    connect(finestra, &RilevaAvvio::menuLoad, this, [this] {
        dopoIlSalvataggio([this](bool) {
            SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get()).carica(nullptr);
        });
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
    // Another file under the name, or other lap numbers in it: the lanes follow the file.
    connect(archivio_.get(), &ArchivioAsincrono::giriRiallineati, &finestra->sessione(), &Sessione::riallineaGiri);
    finestra->installEventFilter(this);
    rilevaGo_ = finestra;
    collegaMenu(finestra);
    collegaSeriale(finestra); // its load runs before the lanes are filled
    new TempoMinimoGiro(impostazioni_, messaggi_, *finestra); // the shortest lap, owned by the window
    rete_->seguiSessione(&finestra->sessione());
    voce_->segui(&finestra->sessione());
    for (int i = 0; i < piloti.size() && i < 8; ++i) finestra->sessione().impostaPilota(i, piloti[i]);
    finestra->inizializza();
    collegaGara(finestra);
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
        // The window stays until "Esci" has dealt with the laps and ends the program.
        if (ultima && !chiusa_) {
            esci();
            evento->ignore();
            return true;
        }
    }
    return QObject::eventFilter(oggetto, evento);
}

void Applicazione::collegaSeriale(RilevaGo *finestra)
{
    auto *vista = new VistaLineeRilevaGo(*finestra);
    auto *linea = new LineaSeriale(impostazioni_, orologio_, messaggi_, finestra->sessione(), *vista, finestra);
    connect(linea, &QObject::destroyed, [vista] { delete vista; });
    connect(finestra, &RilevaGo::menuPortSetting, linea, [this, finestra, linea] {
        PortSett dialogo(linea->porta(), impostazioni_, messaggi_, finestra);
        dialogo.exec();
    });
    linea->ingresso().Form_Load();
}

void Applicazione::collegaMenu(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaGo::menuEsci, this, &Applicazione::esci);
    // Back to a fresh start window; it opens before this one closes so the program goes on.
    connect(finestra, &RilevaGo::menuPiloti, this, [this, finestra] {
        if (!database_.aperto()) apriDatabase();
        apriRilevaAvvio();
        finestra->close();
    });
    collegaUscite(finestra);
    collegaSessioniSalvate(finestra);
    collegaCorrezioni(finestra);
    connect(finestra, &RilevaGo::menuRisultatiInRete, this, [this, finestra] {
        DialogoRete dialogo(*rete_, finestra);
        dialogo.exec();
    });
    connect(finestra, &RilevaGo::menuAnnunciVocali, this, [this, finestra] {
        DialogoVoce dialogo(*voce_, finestra);
        dialogo.exec();
    });
}

// Report and exports read a file the writer has completed: each waits for the
// writer first, without holding the window up, and its dialogs open after.
void Applicazione::collegaUscite(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuStampa, this, [this] {
        if (inStampa_) return; // the report being built is the one asked for
        dopoIlSalvataggio([this](bool) {
            inStampa_ = true;
            Stampa(percorsoDatabase_, messaggi_, dialogo_, stampanti_).stampa();
            inStampa_ = false;
        });
    });
    connect(finestra, &RilevaGo::menuEsportaCsv, this, [this] {
        if (inEsportazione_) return; // the export under way is the one asked for
        dopoIlSalvataggio([this](bool) {
            inEsportazione_ = true;
            EsportazioneCsv(percorsoDatabase_, messaggi_, dialogo_, archivio_.get()).esporta();
            inEsportazione_ = false;
        });
    });
    connect(finestra, &RilevaGo::menuEsportaExcel, this, [this] {
        if (inEsportazione_) return;
        inEsportazione_ = true;
        EsportazioneExcel(percorsoDatabase_, messaggi_, dialogo_, archivio_.get()).esporta();
        inEsportazione_ = false;
    });
}

// Save and Load copy the whole file: they wait for the writer first, as the reports do.
void Applicazione::collegaSessioniSalvate(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuSave, this, [this, finestra] {
        dopoIlSalvataggio([this, finestra = QPointer<RilevaGo>(finestra)](bool) {
            if (auto *griglie = finestra ? finestra->findChild<GriglieRisultati *>() : nullptr)
                SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
                    .salva(*griglie);
        });
    });
    connect(finestra, &RilevaGo::menuLoad, this, [this, finestra] {
        dopoIlSalvataggio([this, finestra = QPointer<RilevaGo>(finestra)](bool) {
            // The chosen file is checked on a thread of its own; meanwhile the lanes go on
            // marking laps and nothing else that needs the file can start.
            SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
                .caricaPoi(finestra ? finestra->findChild<GriglieRisultati *>() : nullptr,
                           [this] {
                               inCaricamento_ = true;
                               avviso_->mostra(QStringLiteral("Attendere: verifica del file da caricare..."), false);
                           },
                           [this, finestra](bool caricato) {
                               inCaricamento_ = false;
                               avviso_->nascondi();
                               if (caricato && finestra) finestra->sessione().rileggiGiri();
                               // The event in use as the loaded file has it, or none.
                               if (caricato) direzione_->rileggi();
                           });
        });
    });
}

// Driver times with their corrections, and the reset: both change stored laps,
// so both go through the writer, in order with the laps, and the lanes follow.
void Applicazione::collegaCorrezioni(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuTempiPiloti, this, [this, finestra] {
        dopoIlSalvataggio([this, finestra = QPointer<RilevaGo>(finestra)](bool) {
            if (!finestra) return;
            Visualtempi viewer(database_, messaggi_, finestra);
            viewer.tempi().impostaCorrezioni(
                [this](auto lavoro, auto poi) { archivio_->eseguiPoi(nullptr, std::move(lavoro), std::move(poi)); },
                [finestra](const CorrezioneGiri &c) {
                    if (finestra) finestra->sessione().applicaCorrezione(c);
                });
            viewer.inizializza();
            viewer.exec();
        });
    });
    connect(finestra, &RilevaGo::menuCancDatabase, this, [this, finestra] {
        dopoIlSalvataggio([this, finestra = QPointer<RilevaGo>(finestra)](bool) {
            auto *griglie = finestra ? finestra->findChild<GriglieRisultati *>() : nullptr;
            if (!griglie) return;
            CancellaTempi reset(database_, percorsoDatabase_, messaggi_, finestra->sessione(), copie_, archivio_.get());
            reset.impostaScelta([this] { return sceltaReset(); });
            reset.menuCancDatabase(*griglie, [griglie] { return classificaConGiri(griglie->classifica()); });
            direzione_->rileggi();
        });
    });
}

void Applicazione::mostraInformazioni()
{
    FrmAbout about(QApplication::activeWindow());
    about.exec();
}

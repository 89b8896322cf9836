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
#include <QElapsedTimer>
#include <QSessionManager>

Applicazione::Applicazione(const QString &percorsoDatabase)
    : percorsoDatabase_(percorsoDatabase),
      archivio_(std::make_unique<ArchivioAsincrono>(database_, percorsoDatabase_, messaggi_)),
      rete_(std::make_unique<RisultatiInRete>(impostazioni_, *archivio_)),
      voce_(std::make_unique<ServizioVoce>(impostazioni_, messaggi_, orologio_)),
      avviso_(std::make_unique<AvvisoAttesa>([this] {
          if (annullaCorrente_) annullaCorrente_();
      })),
      attesa_(std::make_unique<AttesaScrittore>(*archivio_, *avviso_)),
      lavori_(std::make_unique<LavoriScrittore>(*archivio_)),
      direzione_(std::make_unique<DirezioneGara>(orologio_, *lavori_, usciteDispositivo_, casuale_))
{
    archivio_->impostaCopie(&copie_); // the backup before a reset, made by the writer in its order
    ritardoAvviso_.setSingleShot(true);
    ritardoAvviso_.setInterval(AttesaScrittore::ritardoAvvisoMs);
    connect(&ritardoAvviso_, &QTimer::timeout, this, [this] {
        if (!attesaTesto_.isEmpty()) avviso_->mostra(attesaTesto_, attesaAnnullabile_);
    });
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
    if (abbandonaCaricamento_) std::exchange(abbandonaCaricamento_, {})();
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

QStringList Applicazione::comandiInCoda() const
{
    QStringList nomi;
    for (const Comando &c : inCoda_) nomi << c.nome;
    return nomi;
}

void Applicazione::comanda(const QString &nome, std::function<void(Fine)> avvia)
{
    if (chiusa_) return;
    if (!inCorso_.isEmpty()) {
        // Asked again while under way or in line, it is the same request.
        const bool gia = nome == inCorso_
            || std::any_of(inCoda_.begin(), inCoda_.end(), [&](const Comando &c) { return c.nome == nome; });
        if (!gia) inCoda_.append({nome, std::move(avvia)});
        aggiornaCoda();
        return;
    }
    inCorso_ = nome;
    const quint64 turno = ++turno_;
    avvia([this, turno] {
        if (turno == turno_ && !inCorso_.isEmpty()) finito();
    });
}

void Applicazione::finito()
{
    inCorso_.clear();
    annullaCorrente_ = nullptr;
    nonAspettare();
    aggiornaCoda();
    if (inCoda_.isEmpty()) return;
    // The next one starts from the event loop, not inside the one that ended.
    QTimer::singleShot(0, this, [this] {
        if (!inCorso_.isEmpty() || inCoda_.isEmpty() || chiusa_) return;
        Comando c = inCoda_.takeFirst();
        comanda(c.nome, std::move(c.avvia));
        aggiornaCoda();
    });
}

void Applicazione::aggiornaCoda()
{
    avviso_->impostaCoda(comandiInCoda(), QStringLiteral("Attendere: %1 in corso...").arg(inCorso_));
}

void Applicazione::aspetta(const QString &testo, bool annullabile)
{
    const bool primo = attesaTesto_.isEmpty();
    attesaTesto_ = testo;
    attesaAnnullabile_ = annullabile;
    if (avviso_->finestra() && avviso_->finestra()->isVisible()) avviso_->mostra(testo, annullabile);
    else if (primo) ritardoAvviso_.start();
}

void Applicazione::nonAspettare()
{
    attesaTesto_.clear();
    ritardoAvviso_.stop();
    avviso_->nascondi();
}

void Applicazione::dopoIlSalvataggio(std::function<void(bool completo)> azione, Fine fine)
{
    // Annulla on the notice drops the action, not the laps: the command is over.
    annullaCorrente_ = [this, fine] {
        attesa_->annulla();
        fine();
    };
    if (!attesa_->attendi([this, azione = std::move(azione)](bool completo) {
            annullaCorrente_ = nullptr;
            azione(completo);
        }))
        fine();
}

void Applicazione::esci()
{
    if (chiusa_) return;
    // Esci ends the program at once: while a command waits, without waiting for it.
    if (!inCorso_.isEmpty()) return chiudi(true);
    comanda(QStringLiteral("Esci"), [this](Fine fine) {
        dopoIlSalvataggio(
            [this, fine](bool completo) {
                if (!completo && archivio_->giriInAttesa() > 0) {
                    const QString file = QDir::toNativeSeparators(archivio_->fileGiriInAttesa());
                    const int n = archivio_->giriInAttesa();
                    const QString quanti = n == 1 ? QStringLiteral("Un giro non è ancora stato salvato")
                                                  : QStringLiteral("%1 giri non sono ancora stati salvati").arg(n);
                    const QString domanda = quanti + QStringLiteral(" nel database.\nChiudendo ora saranno scritti nel file "
                                                                    "di testo\n%1\nChiudere comunque?")
                                                         .arg(file);
                    const auto risposta =
                        messaggi_.mostra(domanda, Messaggi::Pulsanti::OkAnnulla, Messaggi::Icona::Esclamazione, {}, 1);
                    if (chiusa_) return; // ended from outside meanwhile
                    if (risposta != Messaggi::Risposta::Ok) return fine();
                }
                // The operator has chosen: a last try that does not wait for another program's lock.
                const QString scritto = archivio_->ferma(0);
                if (scritto.isEmpty() && archivio_->giriInAttesa() > 0)
                    messaggi_.mostra(QStringLiteral("Impossibile scrivere i giri non salvati in un file di testo."),
                                     Messaggi::Pulsanti::Ok, Messaggi::Icona::Critico);
                chiusa_ = true;
                emit terminata(0);
                fine();
            },
            fine);
    });
}

void Applicazione::chiudiSenzaDomande() { chiudi(false); }

void Applicazione::chiudi(bool detto)
{
    if (chiusa_) return;
    chiusa_ = true;
    inCoda_.clear();
    annullaCorrente_ = nullptr;
    attesa_->annulla();
    nonAspettare();
    aggiornaCoda();
    // A Load whose file is being checked is given up: the database stays as it was.
    if (abbandonaCaricamento_) {
        for (QWidget *w : QApplication::topLevelWidgets()) w->hide(); // gone at once, while the check ends
        std::exchange(abbandonaCaricamento_, {})();
    }
    const int n = archivio_->giriInAttesa();
    const QString scritto = archivio_->ferma(scadenzaUscitaMs);
    if (!scritto.isEmpty()) {
        const QString testo = QStringLiteral("%1 giri non salvati nel database sono stati scritti nel file di testo\n%2")
                                  .arg(n)
                                  .arg(QDir::toNativeSeparators(scritto));
        qWarning("%s", qUtf8Printable(testo));
        if (detto) messaggi_.mostra(testo, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    }
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
        comanda(QStringLiteral("Load"), [this](Fine fine) {
            dopoIlSalvataggio([this, fine](bool) {
                SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get()).carica(nullptr);
                fine();
            }, fine);
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
        // The window stays until "Esci" has dealt with the laps and ends the program
        // (at once, when a command is under way).
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
    // Race control drives this window's device; a line that goes leaves the outputs refused.
    usciteDispositivo_.collega(linea);
    connect(linea, &QObject::destroyed, this, [this, uscite = static_cast<UsciteDispositivo *>(linea)] {
        if (usciteDispositivo_.collegato() == uscite) usciteDispositivo_.collega(nullptr);
    });
    connect(finestra, &RilevaGo::menuPortSetting, linea, [this, finestra, linea] {
        comanda(QStringLiteral("Proprietà porta"), [this, finestra = QPointer<RilevaGo>(finestra),
                                                    linea = QPointer<LineaSeriale>(linea)](Fine fine) {
            if (finestra && linea) {
                PortSett dialogo(linea->porta(), impostazioni_, messaggi_, finestra);
                dialogo.exec();
            }
            fine();
        });
    });
    linea->ingresso().Form_Load();
}

void Applicazione::collegaMenu(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuInformazioni, this, &Applicazione::mostraInformazioni);
    connect(finestra, &RilevaGo::menuEsci, this, &Applicazione::esci);
    // Back to a fresh start window; it opens before this one closes so the program goes on.
    connect(finestra, &RilevaGo::menuPiloti, this, [this, finestra] {
        comanda(QStringLiteral("Piloti"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            if (finestra) {
                if (!database_.aperto()) apriDatabase();
                apriRilevaAvvio();
                finestra->close();
            }
            fine();
        });
    });
    collegaUscite(finestra);
    collegaSessioniSalvate(finestra);
    collegaCorrezioni(finestra);
    connect(finestra, &RilevaGo::menuRisultatiInRete, this, [this, finestra] {
        comanda(QStringLiteral("Risultati in rete"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            DialogoRete dialogo(*rete_, finestra);
            dialogo.exec();
            fine();
        });
    });
    connect(finestra, &RilevaGo::menuAnnunciVocali, this, [this, finestra] {
        comanda(QStringLiteral("Annunci vocali"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            DialogoVoce dialogo(*voce_, finestra);
            dialogo.exec();
            fine();
        });
    });
}

// Report and exports read a file the writer has completed: each waits for the
// writer first, without holding the window up, and its dialogs open after.
void Applicazione::collegaUscite(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuStampa, this, [this] {
        comanda(QStringLiteral("Stampa"), [this](Fine fine) {
            dopoIlSalvataggio([this, fine](bool) {
                Stampa(percorsoDatabase_, messaggi_, dialogo_, stampanti_).stampa();
                fine();
            }, fine);
        });
    });
    connect(finestra, &RilevaGo::menuEsportaCsv, this, [this] {
        comanda(QStringLiteral("Esporta CSV"), [this](Fine fine) {
            dopoIlSalvataggio([this, fine](bool) {
                EsportazioneCsv(percorsoDatabase_, messaggi_, dialogo_, archivio_.get()).esporta();
                fine();
            }, fine);
        });
    });
    connect(finestra, &RilevaGo::menuEsportaExcel, this, [this] {
        comanda(QStringLiteral("Esporta Excel"), [this](Fine fine) {
            dopoIlSalvataggio([this, fine](bool) {
                EsportazioneExcel(percorsoDatabase_, messaggi_, dialogo_, archivio_.get()).esporta();
                fine();
            }, fine);
        });
    });
}

// Save and Load copy the whole file: they wait for the writer first, as the reports do.
void Applicazione::collegaSessioniSalvate(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuSave, this, [this, finestra] {
        comanda(QStringLiteral("Save"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            dopoIlSalvataggio([this, finestra, fine](bool) {
                auto *griglie = finestra ? finestra->findChild<GriglieRisultati *>() : nullptr;
                if (!griglie) return fine();
                // The copy is the writer's work: another program's lock holds it up, never this thread.
                SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
                    .salvaPoi(*griglie, griglie,
                              [this] { aspetta(QStringLiteral("Attendere: salvataggio dei tempi in corso...")); }, fine);
            }, fine);
        });
    });
    connect(finestra, &RilevaGo::menuLoad, this, [this, finestra] {
        comanda(QStringLiteral("Load"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            dopoIlSalvataggio([this, finestra, fine](bool) {
                auto *griglie = finestra ? finestra->findChild<GriglieRisultati *>() : nullptr;
                // The chosen file is checked on a thread of its own; meanwhile the lanes go on
                // marking laps, which wait for the file that will be in place.
                abbandonaCaricamento_ =
                    SessioniSalvate(database_, percorsoDatabase_, dialogo_, messaggi_, copie_, archivio_.get())
                        .caricaPoi(
                            griglie,
                            [this] {
                                attesaTesto_ = QStringLiteral("Attendere: verifica del file da caricare...");
                                avviso_->mostra(attesaTesto_, false);
                            },
                            [this, finestra, fine](bool caricato) {
                                abbandonaCaricamento_ = nullptr;
                                if (caricato && finestra) finestra->sessione().rileggiGiri();
                                // The event in use as the loaded file has it, or none.
                                if (caricato) direzione_->rileggi();
                                fine();
                            },
                            griglie);
            }, fine);
        });
    });
}

// Driver times with their corrections, and the reset: both change stored laps,
// so both go through the writer, in order with the laps, and the lanes follow.
void Applicazione::collegaCorrezioni(RilevaGo *finestra)
{
    connect(finestra, &RilevaGo::menuTempiPiloti, this, [this, finestra] {
        comanda(QStringLiteral("Tempi Piloti"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            dopoIlSalvataggio([this, finestra, fine](bool) { apriTempiPiloti(finestra, fine); }, fine);
        });
    });
    connect(finestra, &RilevaGo::menuCancDatabase, this, [this, finestra] {
        comanda(QStringLiteral("Canc.Database"), [this, finestra = QPointer<RilevaGo>(finestra)](Fine fine) {
            dopoIlSalvataggio([this, finestra, fine](bool) {
                if (auto *griglie = finestra ? finestra->findChild<GriglieRisultati *>() : nullptr) {
                    CancellaTempi reset(database_, percorsoDatabase_, messaggi_, finestra->sessione(), copie_,
                                        archivio_.get());
                    reset.impostaScelta([this] { return sceltaReset(); });
                    reset.menuCancDatabase(*griglie, [griglie] { return classificaConGiri(griglie->classifica()); });
                    direzione_->rileggi();
                }
                fine();
            }, fine);
        });
    });
}

// The viewer opens once the file can be read: while another program holds its
// lock the window goes on and the notice says so; nothing here waits for the lock.
void Applicazione::apriTempiPiloti(QPointer<RilevaGo> finestra, Fine fine)
{
    if (!finestra) return fine();
    auto *viewer = new Visualtempi(database_, messaggi_, finestra);
    viewer->tempi().impostaCorrezioni(
        [this](auto lavoro, auto poi) { archivio_->eseguiPoi(nullptr, std::move(lavoro), std::move(poi)); },
        [finestra](const CorrezioneGiri &c) {
            if (finestra) finestra->sessione().applicaCorrezione(c);
        });
    connect(viewer, &QObject::destroyed, this, fine); // its window gone with it
    auto *riprova = new QTimer(viewer);
    riprova->setInterval(50);
    QElapsedTimer da;
    da.start();
    annullaCorrente_ = [viewer] { viewer->deleteLater(); };
    auto prova = [this, viewer, riprova, da] {
        if (!viewer->inizializzaSenzaAttesa()) {
            aspetta(QStringLiteral("Attendere: il database dei tempi è bloccato da un altro programma..."),
                    da.elapsed() >= AttesaScrittore::annullabileDopoMs);
            riprova->start();
            return;
        }
        riprova->stop();
        annullaCorrente_ = nullptr;
        nonAspettare();
        viewer->exec();
        viewer->deleteLater();
    };
    connect(riprova, &QTimer::timeout, viewer, prova);
    prova();
}

void Applicazione::mostraInformazioni()
{
    comanda(QStringLiteral("Informazioni"), [](Fine fine) {
        FrmAbout about(QApplication::activeWindow());
        about.exec();
        fine();
    });
}

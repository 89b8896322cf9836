#pragma once
#include "comune/messaggi.h"
#include "database/archivioasincrono.h"
#include "database/cancellatempi.h"
#include "database/copiesicurezza.h"
#include "database/database.h"
#include "gara/direzionegara.h"
#include "gara/lavorigara.h"
#include "gara/uscitegara.h"
#include "results/stampagara.h"
#include "shell/dialogofileqt.h"
#include "results/superficiestampa.h"
#include "comune/impostazioni.h"
#include "shell/attesascrittore.h"
#include "shell/avvisoattesa.h"
#include "piattaforma/segnaliuscita.h"
#include "setup/rilevaavvio.h"
#include "timing/orologio.h"
#include "timing/rilevago.h"
#include "voce/serviziovoce.h"
#include "web/risultatiinrete.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

// Owns what lives for the whole run (clock, message boxes, the database and the
// lap store's writer) and leads from one window to the next.
class Applicazione : public QObject {
    Q_OBJECT
public:
    // The timing database lives at `percorsoDatabase`, chosen and locked at start-up.
    explicit Applicazione(const QString &percorsoDatabase);
    ~Applicazione() override;

    void avvia();
    // "Esci": once the writer has committed what waits (timing goes on
    // meanwhile) the program ends through `terminata`. If laps are left the
    // operator is asked, and on going ahead they are written to a text file
    // beside the database. While another command waits (for the writer, for a
    // file being checked), at once: as on a signal, and the operator is told
    // where the laps still waiting went.
    void esci();
    // The end asked from outside (a signal, the desktop session ending): as
    // "Esci" without a question. The writer gets a few seconds to commit, what
    // is still waiting goes to the text file, and the program ends with code 0.
    void chiudiSenzaDomande();
    static constexpr int scadenzaUscitaMs = 3000;
    // Requests to end from outside (the signals given, the desktop session's
    // end, the event loop quitting) close the program as `chiudiSenzaDomande`.
    void seguiUscite(SegnaliUscita &segnali);

    RilevaGo *rilevaGo() const { return rilevaGo_; }
    RilevaAvvio *rilevaAvvio() const { return rilevaAvvio_; }
    Database &database() { return database_; }
    ArchivioAsincrono &archivio() { return *archivio_; }
    RisultatiInRete &rete() { return *rete_; }
    AttesaScrittore &attesa() { return *attesa_; }
    AvvisoAttesa &avvisoAttesa() { return *avviso_; }
    // The menu command under way (empty when none) and those waiting their turn.
    QString comandoInCorso() const { return inCorso_; }
    QStringList comandiInCoda() const;
    // Race control: the event in use and the heat on the timing window's lanes.
    DirezioneGara &direzione() { return *direzione_; }
    // The device's start lights and track power, where the device offers them (until then none).
    void impostaUscite(UsciteGara &uscite) { direzione_->impostaUscite(uscite); }

signals:
    // The program may end now, with this exit code.
    void terminata(int codice);

protected:
    bool eventFilter(QObject *oggetto, QEvent *evento) override;

private:
    void apriDatabase();
    void apriRilevaAvvio();
    void apriRilevaGo(const QStringList &piloti);
    void collegaMenu(RilevaGo *finestra);
    void collegaUscite(RilevaGo *finestra);
    void collegaSessioniSalvate(RilevaGo *finestra);
    void collegaCorrezioni(RilevaGo *finestra);
    void collegaSeriale(RilevaGo *finestra);
    void mostraInformazioni();
    // A menu command; `fine` ends it. One runs at a time: one asked for meanwhile
    // waits its turn (the notice says which) and starts when the one before ends.
    using Fine = std::function<void()>;
    void comanda(const QString &nome, std::function<void(Fine fine)> avvia);
    void finito();
    void aggiornaCoda();
    // The race day: race control on the timing window, the event and championship windows, race pages and exports.
    void collegaGara(RilevaGo *finestra);
    void apriGare(QWidget *sopra, qint64 gara, int scheda);
    void apriCampionato(QWidget *sopra);
    void apriImpostazioniPartenza(QWidget *sopra);
    // A heat chosen in "Gara...": on the timing window's lanes, opening it from the start window.
    void corriManche(qint64 gara, qint64 manche);
    void stampaGara(StampaGara::Documento documento, qint64 id);
    void esportaGara(bool excel, qint64 gara, bool conCampionato);
    // Canc.Database with race data: the laps only, or the event in use too.
    std::optional<CancellaTempi::Lavoro> sceltaReset();
    // Runs `azione` once the lap writer has answered, without holding the window up.
    void dopoIlSalvataggio(std::function<void(bool completo)> azione, Fine fine);
    // The notice of a wait of the command under way, after a moment (a quick one shows nothing).
    void aspetta(const QString &testo, bool annullabile = false);
    void nonAspettare();
    void apriTempiPiloti(QPointer<RilevaGo> finestra, Fine fine);
    // The end without a question; `detto`: the operator asked for it and is told
    // where the laps still waiting went.
    void chiudi(bool detto);

    OrologioSistema orologio_;
    MessaggiQt messaggi_;
    Impostazioni impostazioni_; // the per-user settings of every part of the program
    QString percorsoDatabase_;
    Database database_;
    CopieSicurezza copie_{percorsoDatabase_, orologio_};
    std::unique_ptr<ArchivioAsincrono> archivio_;
    std::unique_ptr<RisultatiInRete> rete_; // the live results page
    std::unique_ptr<ServizioVoce> voce_;    // announcements and tones, on their own thread
    DialogoFileQt dialogo_;
    StampantiSistema stampanti_;
    QPointer<RilevaGo> rilevaGo_;
    QPointer<RilevaAvvio> rilevaAvvio_;
    struct Comando {
        QString nome;
        std::function<void(Fine)> avvia;
    };
    QList<Comando> inCoda_;
    QString inCorso_;        // the menu command under way
    quint64 turno_ = 0;      // numbers the commands: the `fine` of one that ended already does nothing
    Fine annullaCorrente_;   // gives up the wait under way ("Annulla" on the notice)
    std::function<void()> abbandonaCaricamento_; // while a Load's file is being checked
    QString attesaTesto_;    // the wait the notice is about to show
    bool attesaAnnullabile_ = false;
    QTimer ritardoAvviso_;
    bool chiusa_ = false;
    std::unique_ptr<AvvisoAttesa> avviso_;
    std::unique_ptr<AttesaScrittore> attesa_;
    UsciteSulDispositivo usciteDispositivo_; // the start lights and relay of the timing window's device
    CasualeDiSistema casuale_;
    std::unique_ptr<LavoriScrittore> lavori_;
    std::unique_ptr<DirezioneGara> direzione_;
};

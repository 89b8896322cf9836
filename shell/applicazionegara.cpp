// The race day's part of the wiring: race control on the timing window, the
// event and championship windows, the race pages of the report and the race
// exports, and the further question of Canc.Database.
#include "shell/applicazione.h"

#include "gara/gestionegare.h"
#include "garaui/dialogopartenza.h"
#include "garaui/finestracampionato.h"
#include "garaui/finestragara.h"
#include "garaui/vistagara.h"
#include "results/esportazionegara.h"
#include "timing/globale.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void Applicazione::collegaGara(RilevaGo *finestra)
{
    auto *vista = new VistaGara(*finestra, *direzione_, messaggi_);
    direzione_->segui(&finestra->sessione());
    connect(vista, &VistaGara::prospettoCambiato, this, [this](const ProspettoGara &p) { rete_->impostaGara(fotoGara(p)); });
    connect(finestra, &QObject::destroyed, this, [this] { rete_->impostaGara({}); });
    connect(vista, &VistaGara::menuGare, this, [this, finestra] {
        apriGare(finestra, direzione_->gara() ? direzione_->gara()->id : 0, FinestraGara::SchedaProgramma);
    });
    connect(vista, &VistaGara::menuCampionato, this, [this, finestra] { apriCampionato(finestra); });
    connect(vista, &VistaGara::menuPartenza, this, [this, finestra] { apriImpostazioniPartenza(finestra); });
    connect(vista, &VistaGara::menuStampa, this, [this](StampaGara::Documento d) {
        if (!direzione_->gara())
            return messaggi_.mostra(QStringLiteral("Nessuna gara in uso: sceglierla in Gara... ."), Messaggi::Pulsanti::Ok,
                                    Messaggi::Icona::Esclamazione), void();
        stampaGara(d, direzione_->gara()->id);
    });
    const auto esporta = [this](bool excel) {
        if (!direzione_->gara())
            return messaggi_.mostra(QStringLiteral("Nessuna gara in uso: sceglierla in Gara... ."), Messaggi::Pulsanti::Ok,
                                    Messaggi::Icona::Esclamazione), void();
        esportaGara(excel, direzione_->gara()->id, direzione_->gara()->campionato > 0);
    };
    connect(vista, &VistaGara::menuEsportaCsv, this, [esporta] { esporta(false); });
    connect(vista, &VistaGara::menuEsportaExcel, this, [esporta] { esporta(true); });
}

void Applicazione::apriGare(QWidget *sopra, qint64 gara, int scheda)
{
    GestioneGare gestione(*lavori_);
    FinestraGara finestra(gestione, direzione_.get(), orologio_, messaggi_, sopra);
    // What is asked from the window is done once it is closed: a heat to run may close the start window.
    std::optional<std::pair<qint64, qint64>> daCorrere;
    connect(&finestra, &FinestraGara::corri, this, [&daCorrere](qint64 g, qint64 m) { daCorrere = {g, m}; });
    connect(&finestra, &FinestraGara::stampa, this, &Applicazione::stampaGara);
    connect(&finestra, &FinestraGara::esportaCsv, this, [this](qint64 g, bool c) { esportaGara(false, g, c); });
    connect(&finestra, &FinestraGara::esportaExcel, this, [this](qint64 g) { esportaGara(true, g, false); });
    finestra.apri(gara, static_cast<FinestraGara::Scheda>(scheda));
    finestra.exec();
    // What the window changed (lanes, the schedule, the trail) reaches race control.
    direzione_->rileggi();
    if (daCorrere) corriManche(daCorrere->first, daCorrere->second);
}

void Applicazione::apriCampionato(QWidget *sopra)
{
    GestioneGare gestione(*lavori_);
    FinestraCampionato finestra(gestione, messaggi_, sopra);
    connect(&finestra, &FinestraCampionato::stampa, this, &Applicazione::stampaGara);
    qint64 id = 0;
    if (direzione_->gara()) id = direzione_->gara()->campionato;
    finestra.apri(id);
    finestra.exec();
}

void Applicazione::apriImpostazioniPartenza(QWidget *sopra)
{
    ImpostazioniGara attuali = ImpostazioniGara::leggi(impostazioni_);
    attuali.partenza.penalita = direzione_->procedura().impostazioni().penalita;
    DialogoPartenza dialogo(attuali, sopra);
    if (dialogo.exec() != QDialog::Accepted) return;
    const std::optional<ImpostazioniGara> scelte = dialogo.scelte(nullptr);
    QString errore;
    // A start under way keeps the settings it began with.
    if (!scelte || !direzione_->impostaPartenza(scelte->partenza, &errore)) {
        if (!errore.isEmpty()) messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return;
    }
    direzione_->impostaSecondiRipresa(scelte->secondiRipresa);
    scelte->scrivi(impostazioni_);
}

void Applicazione::corriManche(qint64 gara, qint64 manche)
{
    if (direzione_->inCorso()) {
        messaggi_.mostra(QStringLiteral("Una manche è in corso: chiuderla prima di passare a un'altra."),
                         Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
        return;
    }
    if (!rilevaGo_) {
        // From the start window: its track goes to the session, as "&Ok" does.
        if (rilevaAvvio_) rilevaAvvio_->applicaPista();
        apriRilevaGo({});
        if (rilevaAvvio_) rilevaAvvio_->close();
    }
    direzione_->apriGara(gara, [this, manche] {
        QString errore;
        if (!direzione_->caricaManche(manche, &errore))
            messaggi_.mostra(errore, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QStringLiteral("Gara"));
    });
}

void Applicazione::stampaGara(StampaGara::Documento documento, qint64 id)
{
    // One command at a time, as the report of the laps: it reads what the writer completed.
    comanda(QStringLiteral("Stampa"), [this, documento, id](Fine fine) {
        dopoIlSalvataggio([this, documento, id, fine](bool) {
            StampaGara(percorsoDatabase_, messaggi_, dialogo_, stampanti_).stampa(documento, id);
            fine();
        }, fine);
    });
}

void Applicazione::esportaGara(bool excel, qint64 gara, bool conCampionato)
{
    comanda(excel ? QStringLiteral("Esporta Excel") : QStringLiteral("Esporta CSV"), [this, excel, gara, conCampionato](Fine fine) {
        dopoIlSalvataggio([this, excel, gara, conCampionato, fine](bool) {
            EsportazioneGara esportazione(percorsoDatabase_, messaggi_, dialogo_, archivio_.get());
            if (excel) esportazione.esportaExcel(gara);
            else esportazione.esportaCsv(gara, conCampionato);
            fine();
        }, fine);
    });
}

std::optional<CancellaTempi::Lavoro> Applicazione::sceltaReset()
{
    if (direzione_->inCorso()) {
        messaggi_.mostra(QStringLiteral("Una manche è in corso: chiuderla prima di cancellare i tempi."),
                         Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione, QString::fromUtf8(CancellaTempi::titolo));
        return std::nullopt;
    }
    const QDateTime quando = orologio_.dataOra();
    gara::Cancellazione ambito = gara::Cancellazione::SoloGiri;
    qint64 garaId = 0;
    if (direzione_->gara()) {
        garaId = direzione_->gara()->id;
        QMessageBox domanda(QMessageBox::Question, QString::fromUtf8(CancellaTempi::titolo),
                            QStringLiteral("Cancellare solo i giri o anche la gara \"%1\"?\n\n"
                                           "Solo i giri: le manche di tutte le gare tornano da correre; iscritti, "
                                           "programmi e campionati restano.\n"
                                           "Anche la gara: si cancellano anche la gara in uso, i suoi iscritti, il suo "
                                           "programma e il suo registro.")
                                .arg(direzione_->gara()->nome),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QApplication::activeWindow());
        domanda.button(QMessageBox::Yes)->setText(QStringLiteral("Solo i giri"));
        domanda.button(QMessageBox::No)->setText(QStringLiteral("Anche la gara"));
        domanda.button(QMessageBox::Cancel)->setText(QStringLiteral("Annulla"));
        domanda.setDefaultButton(QMessageBox::Cancel);
        const int risposta = domanda.exec();
        if (risposta == QMessageBox::Cancel) return std::nullopt;
        if (risposta == QMessageBox::No) ambito = gara::Cancellazione::AncheGara;
    }
    return [ambito, garaId, quando](Database &db, bool conGiri) {
        // A file without heats is cleared as it always was.
        Istruzione q = db.prepara("SELECT count(*) FROM Manche");
        if (garaId == 0 && q.passo() && q.intero(0) == 0) return CancellaTempi::svuotaTabelle(db, conGiri);
        gara::ArchivioGara::cancellaTabelle(db, ambito, garaId, conGiri, quando);
    };
}

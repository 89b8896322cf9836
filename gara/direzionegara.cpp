#include "gara/direzionegara.h"

#include "database/database.h"
#include "gara/lavorigara.h"
#include "gara/uscitegara.h"
#include "timing/orologio.h"
#include "timing/sessione.h"
#include "voce/frasi.h"

#include <cmath>
#include <memory>

using namespace gara;

// What one reading of the file brings back to the window's thread.
struct DirezioneGara::Lettura {
    std::optional<Gara> gara;
    QVector<Iscritto> iscritti;
    QVector<Manche> manche;
    std::optional<RisultatoManche> risultato; // of the heat on the lanes, once concluded
};

DirezioneGara::DirezioneGara(Orologio &orologio, LavoriGara &lavori, UsciteGara &uscite, FonteCasuale &casuale,
                             QObject *parent)
    : QObject(parent), orologio_(orologio), lavori_(lavori), uscite_(&uscite), procedura_(orologio, casuale),
      controllo_(orologio)
{
    qRegisterMetaType<gara::RisultatoManche>();
    passi_.setSingleShot(true);
    connect(&passi_, &QTimer::timeout, this, &DirezioneGara::aggiorna);
    battito_.setInterval(100);
    connect(&battito_, &QTimer::timeout, this, &DirezioneGara::aggiorna);

    connect(&procedura_, &ProceduraPartenza::luci, this, [this](int accese) {
        uscite_->impostaLuci(accese);
        if (accese > 0) emit tono(Tono::Luce);
        emit luciCambiate(accese);
        emit cambiata();
    });
    connect(&procedura_, &ProceduraPartenza::contoAllaRovescia, this, [this](int secondi) {
        emit tono(Tono::Luce);
        emit contoAllaRovescia(secondi);
        emit cambiata();
    });
    connect(&procedura_, &ProceduraPartenza::alimentazione, this, [this](bool accesa) { uscite_->impostaAlimentazione(accesa); });
    connect(&procedura_, &ProceduraPartenza::via, this, &DirezioneGara::viaDellaProcedura);
    connect(&procedura_, &ProceduraPartenza::falsaPartenza, this, &DirezioneGara::falsaPartenza);
    connect(&procedura_, &ProceduraPartenza::ripartenza, this, &DirezioneGara::ripartenza);

    connect(&controllo_, &ControlloNeutralizzazione::congela, this, &DirezioneGara::congela);
    connect(&controllo_, &ControlloNeutralizzazione::riparti, this, &DirezioneGara::riparti);
    connect(&controllo_, &ControlloNeutralizzazione::alimentazione, this, [this](bool accesa) { uscite_->impostaAlimentazione(accesa); });
    connect(&controllo_, &ControlloNeutralizzazione::contoAllaRipresa, this, [this](int secondi) {
        emit tono(Tono::Luce);
        emit contoAllaRipresa(secondi);
        emit cambiata();
    });
    connect(&controllo_, &ControlloNeutralizzazione::faseCambiata, this, &DirezioneGara::cambiata);

    connect(&cronaca_, &CronacaManche::cambiata, this, &DirezioneGara::cambiata);
    connect(&cronaca_, &CronacaManche::ultimoGiro, this, [this](int corsia) {
        emit annuncio(frasi::ultimoGiro(nomeCorsia(corsia)), corsia, cronaca_.ora());
    });
    connect(&cronaca_, &CronacaManche::bandieraScacchi, this, [this](double istante, const QVector<int> &corsie) {
        QStringList vincitori;
        for (int c : corsie) vincitori << nomeCorsia(c);
        emit annuncio(frasi::bandieraScacchi(vincitori), -1, istante);
    });
    connect(&cronaca_, &CronacaManche::arrivato, this, [this](int corsia, int posizione) {
        emit annuncio(frasi::arrivato(nomeCorsia(corsia), posizione), corsia, cronaca_.ora());
    });
    connect(&cronaca_, &CronacaManche::conclusa, this, &DirezioneGara::conclusione);
}

DirezioneGara::~DirezioneGara() = default;

QString DirezioneGara::nomeCorsia(int corsia) const
{
    for (const PilotaManche &p : cronaca_.dati().piloti)
        if (p.corsia == corsia) return p.pilota;
    return QStringLiteral("corsia %1").arg(corsia + 1);
}

QString DirezioneGara::nomeDi(qint64 iscritto) const
{
    for (const Iscritto &i : iscritti_)
        if (i.id == iscritto) return i.nome;
    return {};
}

QVector<QPair<int, QString>> DirezioneGara::pilotiDi(const Manche &m) const
{
    QVector<QPair<int, QString>> l;
    for (int c = 0; c < corsieMassime; ++c)
        if (m.corsie[c] > 0) l.append({c, nomeDi(m.corsie[c])});
    return l;
}

std::optional<Manche> DirezioneGara::prossima() const
{
    for (const Manche &m : manche_)
        if (m.stato() == Manche::Stato::DaCorrere && (!corrente_ || m.id != corrente_->id)) return m;
    return std::nullopt;
}

int DirezioneGara::secondiRimasti() const
{
    if (fase_ == Fase::Partenza) return procedura_.secondiRimasti();
    if (controllo_.fase() == ControlloNeutralizzazione::Fase::Ripresa) return controllo_.secondiRimasti();
    return 0;
}

void DirezioneGara::segnaManche(double partenza, double fine)
{
    corrente_->partenza = partenza;
    corrente_->fine = fine;
    for (Manche &m : manche_)
        if (m.id == corrente_->id) m = *corrente_;
}

void DirezioneGara::impostaFase(Fase f)
{
    fase_ = f;
    if (inCorso()) battito_.start();
    else battito_.stop();
    emit cambiata();
}

// --- the session ------------------------------------------------------------

void DirezioneGara::segui(Sessione *sessione)
{
    if (sessione_ == sessione) return;
    if (sessione_) {
        // The window goes: a heat it was running ends as it stands.
        if (inCorso()) chiudiManche();
        disconnect(sessione_, nullptr, this, nullptr);
        sessione_->impostaGara(false);
    }
    sessione_ = sessione;
    if (fase_ != Fase::Conclusa) {
        procedura_.annulla();
        corrente_.reset();
        impostaFase(Fase::Nessuna);
    }
    if (!sessione) return;
    // Queued: whatever race control does with a lap runs after the mark returned.
    connect(sessione, &Sessione::giroSegnato, &cronaca_, &CronacaManche::giro, Qt::QueuedConnection);
    connect(sessione, &Sessione::passaggioPrimaDelVia, this, [this](int corsia, double istante) {
        if (fase_ == Fase::Partenza) procedura_.passaggio(corsia, istante);
    }, Qt::QueuedConnection);
    // A stamped crossing from before lights out that arrived after it: the session drops it.
    connect(sessione, &Sessione::passaggioIgnorato, this, [this](int corsia, double istante) {
        if (fase_ == Fase::InCorso) procedura_.passaggio(corsia, istante);
    }, Qt::QueuedConnection);
    connect(sessione, &Sessione::richiestaStart, this, &DirezioneGara::partenza);
    connect(sessione, &Sessione::richiestaPausa, this, &DirezioneGara::neutralizzazione);
    connect(sessione, &Sessione::richiestaRipresa, this, &DirezioneGara::riprendi);
    connect(sessione, &QObject::destroyed, this, [this] {
        if (inCorso()) chiudiManche();
        procedura_.annulla();
    });
}

// --- reading the event ------------------------------------------------------

void DirezioneGara::leggi(qint64 id, std::function<void()> poi)
{
    auto l = std::make_shared<Lettura>();
    const qint64 corrente = corrente_ && fase_ == Fase::Conclusa ? corrente_->id : 0;
    lavori_.esegui(this, [l, id, corrente](Database &db) {
        ArchivioGara ag(db);
        l->gara = ag.gara(id);
        if (!l->gara) return;
        l->iscritti = ag.iscritti(id);
        l->manche = ag.manche(id);
        if (corrente > 0) l->risultato = ag.risultatoManche(corrente);
    }, [this, l, poi = std::move(poi)](bool fatto, const QString &e) {
        if (!fatto) {
            emit errore(QStringLiteral("La gara non è stata letta dal database: ") + e);
            return;
        }
        applica(*l);
        if (poi) poi();
        emit pronta();
    });
}

void DirezioneGara::applica(const Lettura &l)
{
    if (!l.gara) {
        chiudiGara();
        return;
    }
    gara_ = l.gara;
    iscritti_ = l.iscritti;
    manche_ = l.manche;
    if (corrente_) {
        bool esiste = false;
        for (const Manche &m : std::as_const(manche_))
            if (m.id == corrente_->id) {
                esiste = true;
                if (!inCorso()) corrente_ = m;
            }
        // Reset or replaced under it: the heat on the lanes is no longer in the file.
        if (!esiste && !inCorso()) {
            corrente_.reset();
            risultato_.reset();
            if (sessione_) sessione_->impostaManche(0);
            impostaFase(Fase::Nessuna);
        } else if (fase_ == Fase::Pronta && corrente_->stato() != Manche::Stato::DaCorrere) {
            impostaFase(Fase::Nessuna);
        }
    }
    if (l.risultato) risultato_ = l.risultato;
    procedura_.imposta([&] {
        ProceduraPartenza::Impostazioni i = procedura_.impostazioni();
        i.penalita = gara_->falsaPartenza;
        return i;
    }());
    emit cambiata();
}

void DirezioneGara::apriGara(qint64 id, std::function<void()> poi)
{
    if (gara_ && gara_->id != id && inCorso()) {
        emit errore(QStringLiteral("Una manche è in corso: chiuderla prima di passare a un'altra gara."));
        return;
    }
    if (!gara_ || gara_->id != id) {
        if (fase_ == Fase::Pronta || fase_ == Fase::Conclusa) {
            corrente_.reset();
            risultato_.reset();
            if (sessione_) sessione_->impostaManche(0);
            impostaFase(Fase::Nessuna);
        }
    }
    leggi(id, [this, poi = std::move(poi)] {
        if (fase_ == Fase::Nessuna) annunciaProssima();
        if (poi) poi();
    });
}

void DirezioneGara::rileggi()
{
    if (gara_) leggi(gara_->id);
}

void DirezioneGara::chiudiGara()
{
    if (inCorso()) chiudiManche();
    gara_.reset();
    iscritti_.clear();
    manche_.clear();
    corrente_.reset();
    risultato_.reset();
    procedura_.annulla();
    if (sessione_) {
        sessione_->impostaManche(0);
        sessione_->impostaGara(false);
    }
    impostaFase(Fase::Nessuna);
    emit pronta();
}

void DirezioneGara::garaVeloce(const QStringList &piloti, const Regole &regole, const QString &pista)
{
    Gara g;
    g.nome = QStringLiteral("%1 del %2").arg(nomeTipo(regole.tipo),
                                             orologio_.dataOra().toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    g.data = orologio_.dataOra().date();
    g.pista = pista;
    g.regole = regole;
    g.corsie = quint8((1u << std::min<int>(piloti.size(), corsieMassime)) - 1);
    auto id = std::make_shared<qint64>(0);
    auto motivo = std::make_shared<QString>();
    lavori_.esegui(this, [g, piloti, id, motivo](Database &db) {
        ArchivioGara ag(db);
        *id = ag.creaGara(g, motivo.get());
        if (*id == 0) return;
        MancheProgrammata unica;
        for (int k = 0; k < piloti.size() && k < corsieMassime; ++k) {
            if (ag.iscrivi({0, *id, piloti[k]}, motivo.get()) == 0) break;
            unica.corsie[k] = k;
        }
        if (motivo->isEmpty()) ag.salvaProgramma(*id, {unica}, motivo.get());
        // Nothing half made is left behind.
        if (!motivo->isEmpty())
            for (const char *sql : {"DELETE FROM MancheCorsie WHERE manche IN (SELECT id FROM Manche WHERE gara = ?)",
                                    "DELETE FROM Manche WHERE gara = ?", "DELETE FROM Iscritti WHERE gara = ?",
                                    "DELETE FROM Gare WHERE id = ?"}) {
                Istruzione q = db.prepara(sql);
                q.lega(1, *id);
                q.esegui();
            }
    }, [this, id, motivo](bool fatto, const QString &e) {
        if (!fatto || !motivo->isEmpty()) {
            emit errore(QStringLiteral("La gara non è stata preparata: ") + (fatto ? *motivo : e));
            return;
        }
        corrente_.reset();
        impostaFase(Fase::Nessuna);
        leggi(*id, [this] {
            QString perche;
            if (!caricaManche(0, &perche)) emit errore(perche);
        });
    });
}

// --- a heat on the lanes ----------------------------------------------------

bool DirezioneGara::caricaManche(qint64 id, QString *errore)
{
    auto rifiuta = [errore](const QString &motivo) {
        if (errore) *errore = motivo;
        return false;
    };
    if (!gara_) return rifiuta(QStringLiteral("Nessuna gara in uso: sceglierla in Gara... ."));
    if (inCorso()) return rifiuta(QStringLiteral("Una manche è in corso: chiuderla prima di passare a un'altra."));
    if (!sessione_) return rifiuta(QStringLiteral("La finestra dei tempi non è aperta."));
    std::optional<Manche> m;
    for (const Manche &x : std::as_const(manche_))
        if ((id > 0 && x.id == id) || (id == 0 && x.stato() == Manche::Stato::DaCorrere)) {
            m = x;
            break;
        }
    if (!m) return rifiuta(QStringLiteral("Non ci sono manche da correre in questa gara."));
    if (m->stato() != Manche::Stato::DaCorrere)
        return rifiuta(QStringLiteral("La manche %1 è già stata corsa.").arg(m->numero));
    const QString regole = m->regole.errore();
    if (!regole.isEmpty()) return rifiuta(QStringLiteral("Manche %1: %2").arg(m->numero).arg(regole));
    quint8 maschera = 0;
    QMap<int, QString> piloti;
    Sessione &s = *sessione_;
    s.ricomincia();
    for (const auto &[corsia, nome] : pilotiDi(*m)) {
        s.impostaPilota(corsia, nome);
        maschera |= quint8(1u << corsia);
        piloti.insert(corsia, nome);
    }
    if (maschera == 0) return rifiuta(QStringLiteral("La manche %1 non ha piloti.").arg(m->numero));
    s.impostaGara(true);
    s.inizializza(maschera);
    s.impostaManche(m->id);
    corrente_ = m;
    risultato_.reset();
    cronaca_.prepara(m->regole, piloti);
    controllo_.azzera();
    procedura_.annulla();
    impostaFase(Fase::Pronta);
    return true;
}

void DirezioneGara::partenza()
{
    if (fase_ != Fase::Pronta && fase_ != Fase::Partenza) return;
    if (fase_ == Fase::Partenza && procedura_.fase() != ProceduraPartenza::Fase::Pronta) return;
    impostaFase(Fase::Partenza);
    procedura_.avvia();
    emit annuncio(frasi::partenzaTra(procedura_.impostazioni().secondiContoAllaRovescia), -1, orologio_.adesso());
    programmaPassi();
}

void DirezioneGara::annullaPartenza()
{
    if (fase_ != Fase::Partenza) return;
    procedura_.annulla();
    passi_.stop();
    uscite_->impostaAlimentazione(true);
    impostaFase(Fase::Pronta);
}

void DirezioneGara::programmaPassi()
{
    const double prossimo = std::min(procedura_.prossimoCambio(), controllo_.prossimoCambio());
    if (!std::isfinite(prossimo)) {
        passi_.stop();
        return;
    }
    // On time to the millisecond: the lights and the restart are seen from the track.
    passi_.start(std::max(0, int(std::ceil((prossimo - orologio_.adesso()) * 1000))));
}

void DirezioneGara::aggiorna()
{
    procedura_.aggiorna();
    controllo_.aggiorna();
    programmaPassi();
    if (fase_ == Fase::InCorso || fase_ == Fase::Neutralizzata) cronaca_.aggiorna(orologio_.adesso());
}

void DirezioneGara::viaDellaProcedura(double)
{
    if (!sessione_ || !corrente_) return;
    sessione_->via();
    // The race and every lane's first lap start when the session did.
    const double partenza = sessione_->inizioSessione();
    cronaca_.partenza(partenza);
    segnaManche(partenza, std::nan(""));
    impostaFase(Fase::InCorso);
    emit tono(Tono::Via);
    emit viaDato(partenza);
    const qint64 id = corrente_->id;
    lavora([id, partenza](ArchivioGara &ag, QString *e) { ag.avviaManche(id, partenza, e); });
}

void DirezioneGara::falsaPartenza(int corsia, double istante, PenalitaFalsaPartenza penalita)
{
    if (!corrente_) return;
    emit annuncio(frasi::falsaPartenza(corsia + 1), corsia, istante);
    const qint64 id = corrente_->id;
    const QDateTime quando = orologio_.dataOra();
    lavora([id, corsia, istante, penalita, quando](ArchivioGara &ag, QString *e) {
        ag.registraFalsaPartenza(id, corsia, istante, penalita, quando, e);
    });
    // The live heat shows the penalty at once; the file's trail has it too.
    Sanzioni s;
    for (const PilotaManche &p : cronaca_.dati().piloti)
        if (p.corsia == corsia) s = p.sanzioni;
    if (penalita == PenalitaFalsaPartenza::UnGiro) s.giri -= 1;
    if (penalita == PenalitaFalsaPartenza::UnSecondo) s.secondi += 1;
    cronaca_.impostaSanzioni(corsia, s);
}

void DirezioneGara::ripartenza(int)
{
    emit annuncio(frasi::ripartenza(), -1, orologio_.adesso());
    if (fase_ == Fase::Partenza) {
        passi_.stop();
        impostaFase(Fase::Pronta);
        return;
    }
    // Told after lights out: the heat goes back to be run and its drivers to the grid.
    if (!corrente_ || !sessione_) return;
    const qint64 id = corrente_->id;
    for (int c : sessione_->corsieInUso()) sessione_->finebottone(c);
    impostaFase(Fase::Nessuna);
    lavora([id](ArchivioGara &ag, QString *e) { ag.annullaPartenza(id, e); }, [this, id] {
        leggi(gara_ ? gara_->id : 0, [this, id] {
            QString motivo;
            if (!caricaManche(id, &motivo)) emit errore(motivo);
        });
    });
}

// --- track calls ------------------------------------------------------------

void DirezioneGara::neutralizzazione()
{
    if (fase_ != Fase::InCorso && fase_ != Fase::Neutralizzata) return;
    if (controllo_.chiama()) programmaPassi();
}

void DirezioneGara::riprendi()
{
    if (fase_ != Fase::Neutralizzata) return;
    if (controllo_.riprendi()) {
        emit annuncio(frasi::ripresaTra(controllo_.secondiRipresa()), -1, orologio_.adesso());
        programmaPassi();
    }
}

bool DirezioneGara::impostaSecondiRipresa(int secondi, QString *errore)
{
    return controllo_.impostaSecondiRipresa(secondi, errore);
}

bool DirezioneGara::impostaPartenza(const ProceduraPartenza::Impostazioni &impostazioni, QString *errore)
{
    ProceduraPartenza::Impostazioni i = impostazioni;
    if (gara_) i.penalita = gara_->falsaPartenza;
    return procedura_.imposta(i, errore);
}

void DirezioneGara::congela(double istante)
{
    if (sessione_) sessione_->neutralizza();
    cronaca_.neutralizzazioneIniziata(istante);
    impostaFase(Fase::Neutralizzata);
    emit annuncio(frasi::neutralizzazione(), -1, istante);
}

void DirezioneGara::riparti(double istante, const Neutralizzazione &chiamata)
{
    if (sessione_) sessione_->fineNeutralizzazione();
    cronaca_.neutralizzazioneFinita(istante);
    impostaFase(Fase::InCorso);
    emit tono(Tono::Via);
    if (!corrente_) return;
    const qint64 id = corrente_->id;
    lavora([id, chiamata](ArchivioGara &ag, QString *) { ag.registraNeutralizzazione(id, chiamata); });
}

// --- the finish -------------------------------------------------------------

void DirezioneGara::chiudiManche()
{
    if (fase_ == Fase::Partenza) {
        annullaPartenza();
        return;
    }
    if (fase_ != Fase::InCorso && fase_ != Fase::Neutralizzata) return;
    cronaca_.chiudi(orologio_.adesso());
}

void DirezioneGara::conclusione()
{
    if (!corrente_ || chiusuraInCorso_) return;
    chiusuraInCorso_ = true;
    const double fine = orologio_.adesso();
    // A call still on ends with the heat.
    const bool chiamataAperta = controllo_.fase() != ControlloNeutralizzazione::Fase::InGara;
    const Neutralizzazione chiamata =
        chiamataAperta ? Neutralizzazione{controllo_.neutralizzazioni().last().inizio, fine} : Neutralizzazione{};
    controllo_.azzera();
    passi_.stop();
    if (chiamataAperta) uscite_->impostaAlimentazione(true);
    if (sessione_) {
        if (sessione_->riprendiVisibile()) sessione_->fineNeutralizzazione();
        for (int c : sessione_->corsieInUso()) sessione_->finebottone(c);
    }
    segnaManche(corrente_->partenza, fine);
    impostaFase(Fase::Conclusa);
    const qint64 id = corrente_->id;
    auto r = std::make_shared<RisultatoManche>();
    lavora([id, fine, chiamataAperta, chiamata, r](ArchivioGara &ag, QString *e) {
        if (chiamataAperta) ag.registraNeutralizzazione(id, chiamata);
        if (ag.chiudiManche(id, fine, e)) *r = ag.risultatoManche(id);
    }, [this, r] {
        chiusuraInCorso_ = false;
        risultato_ = *r;
        emit mancheConclusa(*r);
        leggi(gara_ ? gara_->id : 0, [this] { annunciaProssima(); });
    });
}

void DirezioneGara::annunciaProssima()
{
    const std::optional<Manche> m = prossima();
    if (!m) return;
    QStringList corsie;
    for (const auto &[corsia, nome] : pilotiDi(*m)) corsie << frasi::suCorsia(corsia + 1, nome);
    emit annuncio(frasi::prossimaManche(m->numero, corsie), -1, orologio_.adesso());
}

// --- penalties --------------------------------------------------------------

void DirezioneGara::sanzioniDalFile(const DatiManche &dati)
{
    for (const PilotaManche &p : dati.piloti) cronaca_.impostaSanzioni(p.corsia, p.sanzioni);
}

void DirezioneGara::sanziona(const Sanzione &sanzione, std::function<void(bool, const QString &)> esito)
{
    cambiaSanzioni([sanzione](ArchivioGara &ag, const QDateTime &quando, QString *motivo) {
        return ag.sanziona(sanzione, quando, motivo) != 0;
    }, std::move(esito));
}

void DirezioneGara::annullaSanzione(qint64 voce, const QString &motivoAnnullamento,
                                    std::function<void(bool, const QString &)> esito)
{
    cambiaSanzioni([voce, motivoAnnullamento](ArchivioGara &ag, const QDateTime &quando, QString *motivo) {
        return ag.annullaSanzione(voce, motivoAnnullamento, quando, motivo);
    }, std::move(esito));
}

// A penalty written or withdrawn on the writer's thread; the live heat's lanes then show the file's.
void DirezioneGara::cambiaSanzioni(std::function<bool(ArchivioGara &, const QDateTime &, QString *)> cambio,
                                   std::function<void(bool, const QString &)> esito)
{
    const QDateTime quando = orologio_.dataOra();
    const qint64 corrente = corrente_ && inCorso() ? corrente_->id : 0;
    auto dati = std::make_shared<std::optional<DatiManche>>();
    auto motivo = std::make_shared<QString>();
    lavori_.esegui(this, [cambio = std::move(cambio), quando, corrente, dati, motivo](Database &db) {
        ArchivioGara ag(db);
        if (!cambio(ag, quando, motivo.get())) return;
        if (corrente > 0) *dati = ag.datiManche(corrente);
    }, [this, dati, motivo, esito = std::move(esito)](bool fatto, const QString &e) {
        const QString perche = fatto ? *motivo : e;
        if (perche.isEmpty() && *dati) sanzioniDalFile(**dati);
        if (perche.isEmpty()) rileggi();
        esito(perche.isEmpty(), perche);
    });
}

// One step stored in order with the laps; a refusal or an engine error is told to the operator.
void DirezioneGara::lavora(std::function<void(ArchivioGara &, QString *)> lavoro, std::function<void()> poi)
{
    auto motivo = std::make_shared<QString>();
    lavori_.esegui(this, [lavoro = std::move(lavoro), motivo](Database &db) {
        ArchivioGara ag(db);
        lavoro(ag, motivo.get());
    }, [this, motivo, poi = std::move(poi)](bool fatto, const QString &e) {
        const QString perche = fatto ? *motivo : e;
        if (!perche.isEmpty()) emit errore(QStringLiteral("Direzione gara: ") + perche);
        if (poi) poi();
    });
}

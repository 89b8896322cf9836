#include "voce/annunci.h"

#include "timing/orologio.h"
#include "timing/sessione.h"
#include "voce/frasi.h"

Annunci::Annunci(Orologio &orologio, FabbricaVoce voce, QObject *parent)
    : QObject(parent), orologio_(orologio), fabbricaVoce_(std::move(voce)), controllo_(this)
{
    qRegisterMetaType<PassaggioGiro>();
    qRegisterMetaType<ImpostazioniVoce>();
    qRegisterMetaType<Tono>();
    controllo_.setInterval(500);
    connect(&controllo_, &QTimer::timeout, this, [this] {
        if (annunciatore_) annunciatore_->controlla();
    });
}

Annunci::~Annunci()
{
    annunciatore_.reset(); // before the engine it listens to
}

void Annunci::segui(Sessione *sessione)
{
    // Queued even on one thread: whatever is said starts after the mark returned.
    connect(sessione, &Sessione::giroSegnato, this, &Annunci::giro, Qt::QueuedConnection);
    connect(sessione, &Sessione::avviata, this, &Annunci::avviata, Qt::QueuedConnection);
    connect(sessione, &Sessione::tempoSessione, this, &Annunci::tempo, Qt::QueuedConnection);
    connect(sessione, &Sessione::terminata, this, &Annunci::terminata, Qt::QueuedConnection);
}

void Annunci::prepara()
{
    voceAPosto();
    comunicaStato();
}

void Annunci::applica(const ImpostazioniVoce &impostazioni)
{
    impostazioni_ = impostazioni;
    if (impostazioni_.servonoVoce() && voceAPosto())
        voce_->imposta(impostazioni_.voce, impostazioni_.velocita, impostazioni_.volume);
}

void Annunci::prova(const ImpostazioniVoce &impostazioni)
{
    if (!voceAPosto()) return;
    voce_->imposta(impostazioni.voce, impostazioni.velocita, impostazioni.volume);
    dici(frasi::prova(), Priorita::Sessione, -1, orologio_.adesso());
    // What the session's announcements use stays as applied.
    if (!(impostazioni == impostazioni_))
        voce_->imposta(impostazioni_.voce, impostazioni_.velocita, impostazioni_.volume);
}

// The engine is made the first time it is needed; one that cannot speak is told once and left alone.
bool Annunci::voceAPosto()
{
    if (!voce_) {
        voce_ = fabbricaVoce_();
        problemaVoce_ = voce_->problema();
        voce_->iniziato = [this] {
            if (annunciatore_ && annunciatore_->inCorso())
                emit iniziato(annunciatore_->inCorso()->testo, annunciatore_->inCorso()->istante, orologio_.adesso());
        };
        voce_->guasto = [this](const QString &testo) {
            problemaVoce_ = testo;
            avvisa(QStringLiteral("Gli annunci vocali si sono interrotti: %1. Il cronometraggio continua.").arg(testo));
            comunicaStato();
        };
        if (problemaVoce_.isEmpty()) {
            annunciatore_ = std::make_unique<Annunciatore>(orologio_, *voce_);
            controllo_.start();
        } else {
            avvisa(QStringLiteral("Gli annunci vocali non sono disponibili: %1. Il cronometraggio continua.")
                       .arg(problemaVoce_));
        }
        comunicaStato();
    }
    return problemaVoce_.isEmpty();
}

void Annunci::avvisa(const QString &testo)
{
    if (voceDetta_) return;
    voceDetta_ = true;
    emit problema(testo);
}

void Annunci::comunicaStato()
{
    QStringList nomi;
    if (voce_ && problemaVoce_.isEmpty())
        for (const auto &v : voce_->voci()) nomi << v.nome;
    emit stato(problemaVoce_, nomi);
}

void Annunci::dici(const QString &testo, Priorita priorita, int corsia, double istante)
{
    if (annunciatore_ && problemaVoce_.isEmpty()) annunciatore_->accoda({testo, priorita, corsia, istante});
}

void Annunci::giro(const PassaggioGiro &g)
{
    if (!impostazioni_.attivi || !voceAPosto()) return;
    // One announcement a lap: the most important thing it was.
    if (g.recordSessione && impostazioni_.giroVeloce)
        dici(frasi::giroVeloce(g.pilota, g.tempo), Priorita::GiroVeloce, g.corsia, g.istante);
    else if ((g.migliorePersonale || g.recordSessione) && impostazioni_.migliorGiro)
        dici(frasi::migliorGiro(g.pilota, g.tempo), Priorita::MigliorGiro, g.corsia, g.istante);
    else if (impostazioni_.ogniGiro)
        dici(frasi::giro(g.pilota, g.giro, g.tempo), Priorita::Giro, g.corsia, g.istante);
}

void Annunci::avviata(double istante)
{
    rimasto_ = NAN;
    if (impostazioni_.attivi && impostazioni_.partenza && voceAPosto())
        dici(frasi::sessioneIniziata(), Priorita::Sessione, -1, istante);
}

void Annunci::tempo(double trascorso, double limite)
{
    const double prima = rimasto_;
    rimasto_ = limite - trascorso;
    if (std::isnan(prima) || !impostazioni_.attivi || !impostazioni_.tempoRimasto) return;
    // Only a threshold the clock ran past: a session shorter than five minutes gets no "mancano 5 minuti".
    const auto passato = [&](double soglia) { return prima > soglia && rimasto_ <= soglia && rimasto_ > 0; };
    QString testo;
    if (passato(60)) testo = frasi::ultimoMinuto();
    else if (passato(300)) testo = frasi::mancanoCinqueMinuti();
    if (!testo.isEmpty() && voceAPosto()) dici(testo, Priorita::Sessione, -1, orologio_.adesso());
}

void Annunci::gara(const QString &testo, int corsia, double istante)
{
    // Above any lap: the lane keeps its newest, the race its own slot.
    if (impostazioni_.attivi && impostazioni_.gara && voceAPosto()) dici(testo, Priorita::Sessione, corsia, istante);
}

void Annunci::terminata(double istante)
{
    rimasto_ = NAN;
    if (impostazioni_.attivi && impostazioni_.tempoRimasto && voceAPosto())
        dici(frasi::sessioneTerminata(), Priorita::Sessione, -1, istante);
}

#include "voce/tonisulgiro.h"

#include "timing/sessione.h"

ToniSulGiro::ToniSulGiro(Fabbrica fabbrica, QObject *parent) : QObject(parent), fabbrica_(std::move(fabbrica))
{
    qRegisterMetaType<PassaggioGiro>();
    qRegisterMetaType<ImpostazioniVoce>();
}

ToniSulGiro::~ToniSulGiro() = default;

void ToniSulGiro::segui(Sessione *sessione)
{
    // Queued even on one thread: a tone starts after the mark returned.
    connect(sessione, &Sessione::giroSegnato, this, &ToniSulGiro::giro, Qt::QueuedConnection);
    connect(sessione, &Sessione::passaggioIgnorato, this, &ToniSulGiro::ignorato, Qt::QueuedConnection);
}

void ToniSulGiro::prepara()
{
    aPosto();
    emit stato(problema_);
}

void ToniSulGiro::applica(const ImpostazioniVoce &impostazioni)
{
    impostazioni_ = impostazioni;
    if (impostazioni_.servonoToni()) aPosto();
}

// The engine is made the first time it is needed; one that cannot play is told once and left alone.
bool ToniSulGiro::aPosto()
{
    if (!motore_) {
        motore_ = fabbrica_();
        problema_ = motore_->problema();
        if (!problema_.isEmpty())
            avvisa(QStringLiteral("I toni sul giro non sono disponibili: %1. Il cronometraggio continua.").arg(problema_));
        emit stato(problema_);
    }
    return problema_.isEmpty();
}

void ToniSulGiro::avvisa(const QString &testo)
{
    if (detto_) return;
    detto_ = true;
    emit problema(testo);
}

void ToniSulGiro::suona(Tono tono)
{
    if (!aPosto()) return;
    motore_->suona(tono);
    if (!motore_->problema().isEmpty()) {
        problema_ = motore_->problema();
        avvisa(QStringLiteral("I toni sul giro si sono interrotti: %1. Il cronometraggio continua.").arg(problema_));
        emit stato(problema_);
    }
}

void ToniSulGiro::giro(const PassaggioGiro &)
{
    if (impostazioni_.tonoGiro) suona(Tono::Giro);
}

void ToniSulGiro::ignorato(int, double)
{
    if (impostazioni_.tonoIgnorato) suona(Tono::Ignorato);
}

void ToniSulGiro::gara(Tono tono)
{
    if (impostazioni_.toniPartenza) suona(tono);
}

#include "gara/neutralizzazione.h"

#include "timing/orologio.h"

#include <limits>

ControlloNeutralizzazione::ControlloNeutralizzazione(Orologio &orologio, QObject *parent)
    : QObject(parent), orologio_(orologio)
{
}

bool ControlloNeutralizzazione::impostaSecondiRipresa(int secondi, QString *errore)
{
    if (secondi < 0 || secondi > 60) {
        if (errore) *errore = QStringLiteral("Il conto alla rovescia della ripartenza va da 0 a 60 secondi.");
        return false;
    }
    secondiRipresa_ = secondi;
    return true;
}

bool ControlloNeutralizzazione::chiama()
{
    if (fase_ == Fase::Neutralizzata) return false;
    if (fase_ == Fase::Ripresa) {
        // The call goes on: the clock never started again.
        fase_ = Fase::Neutralizzata;
        emit faseCambiata(fase_);
        return true;
    }
    const double ora = orologio_.adesso();
    chiamate_.append({ora, gara::infinito});
    fase_ = Fase::Neutralizzata;
    emit alimentazione(false);
    emit congela(ora);
    emit faseCambiata(fase_);
    return true;
}

bool ControlloNeutralizzazione::riprendi()
{
    if (fase_ != Fase::Neutralizzata) return false;
    fase_ = Fase::Ripresa;
    inizioRipresa_ = orologio_.adesso();
    secondi_ = secondiRipresa_;
    emit faseCambiata(fase_);
    if (secondi_ > 0) emit contoAllaRipresa(secondi_);
    aggiorna();
    return true;
}

double ControlloNeutralizzazione::prossimoCambio() const
{
    if (fase_ != Fase::Ripresa) return std::numeric_limits<double>::infinity();
    return inizioRipresa_ + (secondiRipresa_ - secondi_ + 1);
}

void ControlloNeutralizzazione::aggiorna()
{
    const double ora = orologio_.adesso();
    while (fase_ == Fase::Ripresa && (secondi_ <= 0 || prossimoCambio() <= ora)) {
        if (secondi_ > 1) {
            emit contoAllaRipresa(--secondi_);
            continue;
        }
        secondi_ = 0;
        chiamate_.last().fine = ora;
        fase_ = Fase::InGara;
        emit alimentazione(true);
        emit riparti(ora, chiamate_.last());
        emit faseCambiata(fase_);
    }
}

void ControlloNeutralizzazione::azzera()
{
    fase_ = Fase::InGara;
    secondi_ = 0;
    chiamate_.clear();
    emit faseCambiata(fase_);
}

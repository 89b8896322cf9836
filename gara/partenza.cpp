#include "gara/partenza.h"

#include "timing/orologio.h"

#include <QRandomGenerator>
#include <cmath>
#include <limits>

QString nomePenalitaFalsaPartenza(PenalitaFalsaPartenza p)
{
    switch (p) {
    case PenalitaFalsaPartenza::Avviso: return QStringLiteral("Avviso");
    case PenalitaFalsaPartenza::UnSecondo: return QStringLiteral("+1 secondo");
    case PenalitaFalsaPartenza::UnGiro: return QStringLiteral("-1 giro");
    case PenalitaFalsaPartenza::Ripartenza: return QStringLiteral("Ripartenza");
    }
    return {};
}

double CasualeDiSistema::tra(double minimo, double massimo)
{
    return minimo + QRandomGenerator::global()->generateDouble() * (massimo - minimo);
}

QString ProceduraPartenza::Impostazioni::errore() const
{
    if (secondiContoAllaRovescia < 0 || secondiContoAllaRovescia > 600)
        return QStringLiteral("Il conto alla rovescia va da 0 a 600 secondi.");
    if (!(intervalloLuci > 0) || intervalloLuci > 10)
        return QStringLiteral("L'intervallo tra le luci deve essere maggiore di zero e al massimo 10 secondi.");
    if (!(attesaMinima >= 0) || !(attesaMassima >= attesaMinima) || attesaMassima > 60)
        return QStringLiteral("L'attesa casuale prima del via va da 0 a 60 secondi, "
                              "e la minima non può superare la massima.");
    return {};
}

ProceduraPartenza::ProceduraPartenza(Orologio &orologio, FonteCasuale &casuale, QObject *parent)
    : QObject(parent), orologio_(orologio), casuale_(casuale), via_(std::nan(""))
{
}

bool ProceduraPartenza::imposta(const Impostazioni &impostazioni, QString *errore)
{
    QString motivo = impostazioni.errore();
    if (motivo.isEmpty() && fase_ != Fase::Pronta && fase_ != Fase::Via)
        motivo = QStringLiteral("Le impostazioni della partenza non si cambiano durante una partenza.");
    if (!motivo.isEmpty()) {
        if (errore) *errore = motivo;
        return false;
    }
    impostazioni_ = impostazioni;
    return true;
}

void ProceduraPartenza::vaiA(Fase f)
{
    fase_ = f;
    emit faseCambiata(f);
}

void ProceduraPartenza::avvia()
{
    if (fase_ != Fase::Pronta && fase_ != Fase::Via) return;
    inizio_ = orologio_.adesso();
    primaLuce_ = inizio_ + impostazioni_.secondiContoAllaRovescia;
    const double tutte = primaLuce_ + (numeroLuci - 1) * impostazioni_.intervalloLuci;
    spegnimento_ = tutte + casuale_.tra(impostazioni_.attesaMinima, impostazioni_.attesaMassima);
    via_ = std::nan("");
    false_.clear();
    luci_ = 0;
    secondi_ = impostazioni_.secondiContoAllaRovescia;
    if (!impostazioni_.correnteDuranteLuci) emit alimentazione(false);
    emit luci(0);
    vaiA(Fase::ContoAllaRovescia);
    if (secondi_ > 0) emit contoAllaRovescia(secondi_);
    aggiorna();
}

void ProceduraPartenza::annulla()
{
    if (fase_ == Fase::Pronta) return;
    luci_ = 0;
    emit luci(0);
    vaiA(Fase::Pronta);
}

double ProceduraPartenza::prossimoCambio() const
{
    switch (fase_) {
    case Fase::ContoAllaRovescia:
        return secondi_ > 1 ? inizio_ + (impostazioni_.secondiContoAllaRovescia - secondi_ + 1) : primaLuce_;
    case Fase::Luci: return primaLuce_ + luci_ * impostazioni_.intervalloLuci;
    case Fase::Attesa: return spegnimento_;
    default: return std::numeric_limits<double>::infinity();
    }
}

void ProceduraPartenza::aggiorna()
{
    const double ora = orologio_.adesso();
    // Every step due by now, in order, even after a late timer.
    while (prossimoCambio() <= ora) {
        if (fase_ == Fase::ContoAllaRovescia && secondi_ > 1) {
            emit contoAllaRovescia(--secondi_);
        } else if (fase_ == Fase::ContoAllaRovescia || fase_ == Fase::Luci) {
            secondi_ = 0;
            emit luci(++luci_);
            if (luci_ == 1) vaiA(Fase::Luci);
            if (luci_ == numeroLuci) vaiA(Fase::Attesa);
        } else if (fase_ == Fase::Attesa) {
            // The race starts when the lights really go out: now.
            via_ = ora;
            luci_ = 0;
            emit luci(0);
            emit alimentazione(true);
            vaiA(Fase::Via);
            emit via(ora);
        }
    }
}

bool ProceduraPartenza::passaggio(int corsia, double istante)
{
    if (fase_ == Fase::Pronta || fase_ == Fase::ContoAllaRovescia) return false;
    if (istante < primaLuce_ || (!std::isnan(via_) && istante >= via_)) return false;
    if (false_.contains(corsia)) return true;
    false_.append(corsia);
    const PenalitaFalsaPartenza p = impostazioni_.penalita;
    emit falsaPartenza(corsia, istante, p);
    if (p == PenalitaFalsaPartenza::Ripartenza) {
        // Told after lights out too (a device's stamp arrives late): the window then stops the session.
        if (fase_ != Fase::Via) annulla();
        emit ripartenza(corsia);
    }
    return true;
}

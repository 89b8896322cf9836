#include "gara/cronacamanche.h"

#include "timing/sessione.h"

using namespace gara;

CronacaManche::CronacaManche(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<PassaggioGiro>();
    qRegisterMetaType<gara::RisultatoManche>();
}

void CronacaManche::prepara(const Regole &regole, const QMap<int, QString> &piloti)
{
    DatiManche d;
    d.regole = regole;
    for (auto i = piloti.constBegin(); i != piloti.constEnd(); ++i) {
        PilotaManche p;
        p.corsia = i.key();
        p.pilota = i.value();
        d.piloti.append(p);
    }
    ricarica(d);
}

void CronacaManche::ricarica(const DatiManche &dati)
{
    dati_ = dati;
    ora_ = std::isnan(dati_.partenza) ? 0 : dati_.partenza;
    for (const PilotaManche &p : std::as_const(dati_.piloti))
        if (!p.giri.isEmpty()) ora_ = std::max(ora_, p.giri.last().istante);
    stato_ = gara::valuta(dati_, ora_);
    emit cambiata(stato_);
}

void CronacaManche::partenza(double istante)
{
    dati_.partenza = istante;
    ora_ = std::max(ora_, istante);
    valuta();
}

void CronacaManche::neutralizzazioneIniziata(double istante)
{
    dati_.neutralizzazioni.append({istante, infinito});
    ora_ = std::max(ora_, istante);
    valuta();
}

void CronacaManche::neutralizzazioneFinita(double istante)
{
    for (Neutralizzazione &n : dati_.neutralizzazioni)
        if (n.fine == infinito) n.fine = std::max(istante, n.inizio);
    ora_ = std::max(ora_, istante);
    valuta();
}

void CronacaManche::impostaSanzioni(int corsia, const Sanzioni &sanzioni)
{
    for (PilotaManche &p : dati_.piloti)
        if (p.corsia == corsia) p.sanzioni = sanzioni;
    valuta();
}

void CronacaManche::chiudi(double istante)
{
    dati_.chiusura = istante;
    ora_ = std::max(ora_, istante);
    valuta();
}

void CronacaManche::giro(const PassaggioGiro &passaggio)
{
    for (PilotaManche &p : dati_.piloti) {
        if (p.corsia != passaggio.corsia) continue;
        GiroManche g;
        g.giroN = passaggio.giro;
        g.tempo = passaggio.tempo;
        g.istante = passaggio.istante;
        g.precisione = passaggio.stampato ? Precisione::Dispositivo : Precisione::Arrivo;
        p.giri.append(g);
    }
    ora_ = std::max(ora_, passaggio.istante);
    valuta();
}

void CronacaManche::aggiorna(double ora)
{
    if (ora <= ora_) return;
    ora_ = ora;
    valuta();
}

bool CronacaManche::finito(int corsia) const
{
    const EsitoPilota *e = stato_.diCorsia(corsia);
    return e && (e->stato == StatoPilota::Arrivato || e->stato == StatoPilota::Fermo
                 || e->stato == StatoPilota::Squalificato);
}

void CronacaManche::valuta()
{
    const RisultatoManche prima = stato_;
    stato_ = gara::valuta(dati_, ora_);
    if (stato_.bandiera && !prima.bandiera) emit bandieraScacchi(stato_.istanteBandiera, stato_.corsieBandiera);
    for (const EsitoPilota &e : std::as_const(stato_.classifica)) {
        const EsitoPilota *p = prima.diCorsia(e.corsia);
        const StatoPilota statoPrima = p ? p->stato : StatoPilota::InGara;
        if (e.stato == statoPrima) continue;
        if (e.stato == StatoPilota::UltimoGiro) emit ultimoGiro(e.corsia);
        else if (e.stato == StatoPilota::Arrivato) emit arrivato(e.corsia, e.posizione);
        else if (e.stato == StatoPilota::Fermo) emit fermo(e.corsia);
    }
    if (stato_.conclusa && !prima.conclusa) emit conclusa();
    emit cambiata(stato_);
}

#include "garaui/prospettogara.h"

#include "gara/direzionegara.h"
#include "gara/testigara.h"
#include "timing/tempotesto.h"

using namespace gara;

namespace {
QString titoloManche(const Manche &m, int totale)
{
    return QStringLiteral("Manche %1 di %2 - %3").arg(m.numero).arg(totale).arg(descriviRegole(m.regole));
}
} // namespace

ProspettoGara prospetto(const DirezioneGara &d)
{
    ProspettoGara p;
    if (!d.gara()) return p;
    p.gara = d.gara()->nome;
    const int totale = int(d.programma().size());
    using Fase = DirezioneGara::Fase;
    const std::optional<Manche> &m = d.mancheCorrente();
    if (m && d.fase() != Fase::Nessuna) {
        p.manche = titoloManche(*m, totale);
        // After the finish the file's ranking, which is the one that counts.
        const RisultatoManche &r = d.fase() == Fase::Conclusa && d.risultato() ? *d.risultato() : d.stato();
        switch (d.fase()) {
        case Fase::Pronta: p.stato = QStringLiteral("In attesa del via"); break;
        case Fase::Partenza: p.stato = QStringLiteral("Partenza"); break;
        case Fase::Neutralizzata: p.stato = QStringLiteral("Neutralizzazione"); break;
        case Fase::Conclusa: p.stato = QStringLiteral("Conclusa"); break;
        default: p.stato = statoManche(r); break;
        }
        if (d.fase() == Fase::InCorso || d.fase() == Fase::Neutralizzata) p.rimanente = testoRimanente(r);
        if (d.fase() == Fase::Neutralizzata && d.secondiRimasti() > 0)
            p.rimanente = QStringLiteral("Si riparte tra %1").arg(d.secondiRimasti());
        for (const EsitoPilota &e : r.classifica) {
            QStringList note;
            if (!notaPosto(e).isEmpty()) note << notaPosto(e);
            if (!testoSanzioni(e.sanzioni).isEmpty()) note << testoSanzioni(e.sanzioni);
            p.classifica.append({e.posizione, e.corsia + 1, e.pilota, e.giriSanzionati, nomeStato(e.stato),
                                 e.migliorGiro > 0 ? testoTempo(e.migliorGiro) : QString(), note.join(QStringLiteral("; "))});
        }
    } else {
        p.stato = QStringLiteral("Nessuna manche in pista");
    }
    // Next up: the heat waiting on the lanes, or the one after the heat that ended.
    std::optional<Manche> prossima;
    QString titolo;
    if (d.fase() == Fase::Pronta && m) {
        prossima = m;
        titolo = QStringLiteral("In griglia: manche %1 di %2").arg(m->numero).arg(totale);
    } else if (d.fase() == Fase::Conclusa || d.fase() == Fase::Nessuna) {
        prossima = d.prossima();
        if (prossima) titolo = QStringLiteral("Prossima manche: %1 di %2").arg(prossima->numero).arg(totale);
    }
    if (prossima) {
        p.mostraProssima = true;
        p.titoloProssima = titolo;
        p.regoleProssima = descriviRegole(prossima->regole);
        p.prossimi = d.pilotiDi(*prossima);
    } else if (d.fase() == Fase::Conclusa || d.fase() == Fase::Nessuna) {
        p.mostraProssima = true;
        p.titoloProssima = QStringLiteral("Nessuna manche da correre");
        p.regoleProssima = totale > 0 ? QStringLiteral("Tutte le manche di %1 sono state corse.").arg(p.gara)
                                      : QStringLiteral("Preparare il programma delle manche in Gara... .");
    }
    return p;
}

FotoGara fotoGara(const ProspettoGara &p)
{
    FotoGara f;
    f.gara = p.gara;
    f.manche = p.manche;
    f.stato = p.stato;
    f.rimanente = p.rimanente;
    for (const ProspettoGara::Riga &r : p.classifica) f.classifica.append({r.posizione, r.corsia, r.pilota, r.giri, r.stato});
    if (p.mostraProssima && !p.prossimi.isEmpty()) {
        f.prossima = p.titoloProssima;
        for (const auto &[corsia, nome] : p.prossimi) f.prossimiPiloti << QStringLiteral("Corsia %1: %2").arg(corsia + 1).arg(nome);
    }
    return f;
}

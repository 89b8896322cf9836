#include "gara/regole.h"

#include <algorithm>
#include <cmath>

namespace gara {

namespace {
const char *const nomi[] = {"Prova libera", "Qualifica", "Gara a tempo", "Gara a giri"};

// The laps of one driver as far as the heat has seen them.
struct Lavoro {
    const PilotaManche *pilota = nullptr;
    QVector<GiroManche> visti; // after the start, up to the instant asked, in lap order
    QVector<bool> neutralizzato;
    float miglioreValido = 0, miglioreQualsiasi = 0;
};

float migliore(const QVector<GiroManche> &giri, const QVector<bool> *escludi)
{
    float m = 0;
    for (int k = 0; k < giri.size(); ++k) {
        if (escludi && (*escludi)[k]) continue;
        if (giri[k].tempo > 0 && (m == 0 || giri[k].tempo < m)) m = giri[k].tempo;
    }
    return m;
}

// The end of a track call as known at `ora`: one still on has lasted until now.
double fineNota(const Neutralizzazione &n, double ora) { return n.fine > ora ? std::max(ora, n.inizio) : n.fine; }

Precisione peggiore(Precisione a, Precisione b) { return static_cast<int>(a) > static_cast<int>(b) ? a : b; }
} // namespace

QString nomeTipo(TipoSessione tipo) { return QString::fromUtf8(nomi[static_cast<int>(tipo)]); }

QStringList nomiTipi()
{
    QStringList l;
    for (const char *n : nomi) l.append(QString::fromUtf8(n));
    return l;
}

std::optional<TipoSessione> tipoDaNome(const QString &nome)
{
    const int i = nomiTipi().indexOf(nome.simplified(), 0);
    if (i >= 0) return static_cast<TipoSessione>(i);
    for (int k = 0; k < 4; ++k)
        if (nome.simplified().compare(QString::fromUtf8(nomi[k]), Qt::CaseInsensitive) == 0)
            return static_cast<TipoSessione>(k);
    return std::nullopt;
}

std::optional<TipoSessione> tipoDaNumero(int numero)
{
    if (numero < 0 || numero > 3) return std::nullopt;
    return static_cast<TipoSessione>(numero);
}

bool eGara(TipoSessione tipo) { return tipo == TipoSessione::GaraATempo || tipo == TipoSessione::GaraAGiri; }

QString Regole::errore() const
{
    const bool durataValida = std::isfinite(durata) && durata > 0;
    switch (tipo) {
    case TipoSessione::ProvaLibera: break;
    case TipoSessione::Qualifica:
        if (!durataValida) return QStringLiteral("Una qualifica deve durare più di 0 minuti: indicare la durata.");
        break;
    case TipoSessione::GaraATempo:
        if (!durataValida) return QStringLiteral("Una gara a tempo deve durare più di 0 minuti: indicare la durata.");
        break;
    case TipoSessione::GaraAGiri:
        if (giri < 1) return QStringLiteral("Una gara a giri deve avere almeno un giro: indicare il numero di giri.");
        break;
    }
    if (!std::isfinite(fattoreGrazia) || fattoreGrazia <= 0)
        return QStringLiteral("Il tempo concesso dopo la bandiera deve essere maggiore di zero.");
    return {};
}

QString nomePrecisione(Precisione p)
{
    switch (p) {
    case Precisione::Dispositivo: return QStringLiteral("istanti del dispositivo");
    case Precisione::Arrivo: return QStringLiteral("istanti di ricezione (interrogazione o tasto)");
    case Precisione::Ricostruito: return QStringLiteral("istanti ricostruiti dai tempi sul giro");
    }
    return {};
}

QString nomeStato(StatoPilota s)
{
    switch (s) {
    case StatoPilota::InGara: return QStringLiteral("In gara");
    case StatoPilota::UltimoGiro: return QStringLiteral("Ultimo giro");
    case StatoPilota::Arrivato: return QStringLiteral("Arrivato");
    case StatoPilota::Fermo: return QStringLiteral("Fermo");
    case StatoPilota::Squalificato: return QStringLiteral("Squalificato");
    }
    return {};
}

double EsitoPilota::punteggio() const
{
    if (stato == StatoPilota::Squalificato) return 0;
    double p = giriSanzionati + frazione;
    if (sanzioni.secondi != 0 && migliorGiro > 0) p -= sanzioni.secondi / migliorGiro;
    return std::max(0.0, p);
}

const EsitoPilota *RisultatoManche::diCorsia(int corsia) const
{
    for (const EsitoPilota &e : classifica)
        if (e.corsia == corsia) return &e;
    return nullptr;
}

RisultatoManche valuta(const DatiManche &dati, double ora)
{
    RisultatoManche r;
    r.regole = dati.regole;
    const Regole &regole = dati.regole;
    const double p = dati.partenza;
    r.avviata = !std::isnan(p) && p <= ora;
    const bool chiusa = std::isfinite(dati.chiusura) && ora >= dati.chiusura;
    const double adesso = std::min(ora, dati.chiusura);

    // What each driver has done so far.
    QVector<Lavoro> lavori;
    lavori.reserve(dati.piloti.size());
    float miglioreManche = 0;
    for (const PilotaManche &pm : dati.piloti) {
        Lavoro l;
        l.pilota = &pm;
        if (r.avviata)
            for (const GiroManche &g : pm.giri)
                if (g.istante > p && g.istante <= adesso) l.visti.append(g);
        double prima = p;
        for (const GiroManche &g : std::as_const(l.visti)) {
            bool attraverso = false;
            for (const Neutralizzazione &n : dati.neutralizzazioni)
                if (prima < n.fine && g.istante > n.inizio) attraverso = true;
            l.neutralizzato.append(attraverso);
            prima = g.istante;
        }
        l.miglioreValido = migliore(l.visti, &l.neutralizzato);
        l.miglioreQualsiasi = migliore(l.visti, nullptr);
        if (l.miglioreValido > 0 && (miglioreManche == 0 || l.miglioreValido < miglioreManche))
            miglioreManche = l.miglioreValido;
        lavori.append(l);
    }

    // Race time: the duration plus the time the clock stood still before it ran out.
    if (r.avviata) {
        QVector<Neutralizzazione> chiamate = dati.neutralizzazioni;
        std::sort(chiamate.begin(), chiamate.end(),
                  [](const Neutralizzazione &a, const Neutralizzazione &b) { return a.inizio < b.inizio; });
        double fine = p + regole.durata, coperto = p;
        for (const Neutralizzazione &n : std::as_const(chiamate)) {
            if (n.inizio <= adesso && n.fine > adesso) r.neutralizzata = true;
            const double da = std::max(n.inizio, coperto), a = fineNota(n, adesso);
            if (a <= da || da >= fine) continue;
            fine += a - da;
            coperto = a;
        }
        if (regole.tipo == TipoSessione::Qualifica || regole.tipo == TipoSessione::GaraATempo) {
            r.fineTempo = fine;
            r.tempoRimanente = std::max(0.0, fine - adesso);
            if (adesso >= fine) {
                r.bandiera = true;
                r.istanteBandiera = fine;
            }
        }
    }
    // Lap race: the first to complete the laps takes the flag.
    int piuGiri = 0;
    for (const Lavoro &l : std::as_const(lavori)) piuGiri = std::max(piuGiri, int(l.visti.size()));
    if (r.avviata && regole.tipo == TipoSessione::GaraAGiri && regole.giri > 0) {
        for (const Lavoro &l : std::as_const(lavori))
            if (l.visti.size() >= regole.giri) {
                const double t = l.visti[regole.giri - 1].istante;
                if (!r.bandiera || t < r.istanteBandiera) r.istanteBandiera = t;
                r.bandiera = true;
            }
        for (const Lavoro &l : std::as_const(lavori))
            if (r.bandiera && l.visti.size() >= regole.giri && l.visti[regole.giri - 1].istante == r.istanteBandiera)
                r.corsieBandiera.append(l.pilota->corsia);
        r.giriAlTermine = r.bandiera ? 0 : std::max(0, regole.giri - piuGiri);
    }
    const bool conFinale = r.bandiera && regole.tipo != TipoSessione::ProvaLibera;
    // When the heat ended for the drivers that did not finish: the flag, or race control's closing.
    const double termine = conFinale ? r.istanteBandiera : chiusa ? dati.chiusura : std::nan("");

    for (const Lavoro &l : std::as_const(lavori)) {
        const PilotaManche &pm = *l.pilota;
        EsitoPilota e;
        e.corsia = pm.corsia;
        e.pilota = pm.pilota;
        e.sanzioni = pm.sanzioni;
        e.ultimoPassaggio = r.avviata ? p : 0;
        int contati = l.visti.size();
        if (conFinale) {
            // The laps before the flag, then the first crossing after it if it comes in time.
            int prima = 0;
            while (prima < l.visti.size() && l.visti[prima].istante < r.istanteBandiera) ++prima;
            const double ultimoPrima = prima > 0 ? l.visti[prima - 1].istante : p;
            const float base = l.miglioreValido > 0 ? l.miglioreValido
                             : l.miglioreQualsiasi > 0 ? l.miglioreQualsiasi : miglioreManche;
            e.scadenza = std::max(r.istanteBandiera, ultimoPrima + regole.fattoreGrazia * base);
            if (prima < l.visti.size() && l.visti[prima].istante <= e.scadenza) {
                contati = prima + 1;
                e.stato = StatoPilota::Arrivato;
            } else {
                contati = prima;
                e.stato = adesso > e.scadenza || chiusa ? StatoPilota::Fermo : StatoPilota::UltimoGiro;
            }
        } else if (chiusa) {
            e.stato = regole.tipo == TipoSessione::ProvaLibera ? StatoPilota::Arrivato : StatoPilota::Fermo;
        } else if (regole.tipo == TipoSessione::GaraAGiri && r.avviata) {
            e.giriAlTermine = std::max(0, regole.giri - contati);
            if (e.giriAlTermine == 1) e.stato = StatoPilota::UltimoGiro;
        }
        if (pm.sanzioni.squalificato) e.stato = StatoPilota::Squalificato;

        e.giri = contati;
        e.giriSanzionati = std::max(0, contati + pm.sanzioni.giri);
        for (int k = 0; k < contati; ++k) {
            const GiroManche &g = l.visti[k];
            e.tempoTotale += g.tempo;
            if (l.neutralizzato[k]) {
                e.giriNeutralizzati.append(k + 1);
                continue;
            }
            if (g.tempo > 0 && (e.migliorGiro == 0 || g.tempo < e.migliorGiro)) {
                e.migliorGiro = g.tempo;
                e.giroMigliore = k + 1;
                e.istanteMigliore = g.istante;
                e.precisioneMigliore = g.precisione;
            }
        }
        if (contati > 0) {
            e.ultimoPassaggio = l.visti[contati - 1].istante;
            e.precisioneUltimo = l.visti[contati - 1].precisione;
        }
        e.arrivo = e.ultimoPassaggio + pm.sanzioni.secondi;
        // The lap he was on when the heat ended, from his best lap: only for drivers who did not finish it.
        const float perFrazione = l.miglioreValido > 0 ? l.miglioreValido : l.miglioreQualsiasi;
        if (eGara(regole.tipo) && e.stato == StatoPilota::Fermo && !std::isnan(termine) && perFrazione > 0)
            e.frazione = std::clamp((termine - e.ultimoPassaggio) / perFrazione, 0.0, 0.999);
        r.classifica.append(e);
    }

    // The ranking of the session kind. Lanes only keep the order stable among equals.
    const TipoSessione tipo = regole.tipo;
    auto prima = [tipo](const EsitoPilota &a, const EsitoPilota &b) {
        const bool sa = a.stato == StatoPilota::Squalificato, sb = b.stato == StatoPilota::Squalificato;
        if (sa != sb) return sb;
        if (tipo == TipoSessione::Qualifica) {
            if ((a.migliorGiro > 0) != (b.migliorGiro > 0)) return a.migliorGiro > 0;
            const double ta = a.migliorGiro + a.sanzioni.secondi, tb = b.migliorGiro + b.sanzioni.secondi;
            if (ta != tb) return ta < tb;
            if (a.istanteMigliore != b.istanteMigliore) return a.istanteMigliore < b.istanteMigliore;
        } else {
            if (a.giriSanzionati != b.giriSanzionati) return a.giriSanzionati > b.giriSanzionati;
            if (tipo == TipoSessione::ProvaLibera) {
                const double ta = a.tempoTotale + a.sanzioni.secondi, tb = b.tempoTotale + b.sanzioni.secondi;
                if (ta != tb) return ta < tb;
            } else if (a.arrivo != b.arrivo) {
                return a.arrivo < b.arrivo;
            }
        }
        return a.corsia < b.corsia;
    };
    std::stable_sort(r.classifica.begin(), r.classifica.end(), prima);
    for (int i = 0; i < r.classifica.size(); ++i) {
        EsitoPilota &e = r.classifica[i];
        e.posizione = i + 1;
        if (i == 0 || !r.avviata) continue;
        const EsitoPilota &d = r.classifica[i - 1];
        if ((e.stato == StatoPilota::Squalificato) != (d.stato == StatoPilota::Squalificato)
            || e.stato == StatoPilota::Squalificato)
            continue;
        if (tipo == TipoSessione::Qualifica) {
            if (e.migliorGiro == 0) {
                e.posizione = d.migliorGiro == 0 ? d.posizione : e.posizione;
                e.exAequo = d.migliorGiro == 0;
                continue;
            }
            const double te = e.migliorGiro + e.sanzioni.secondi, td = d.migliorGiro + d.sanzioni.secondi;
            e.distacco = te - td;
            if (te != td) continue;
            if (e.istanteMigliore == d.istanteMigliore) {
                e.exAequo = true;
                e.posizione = d.posizione;
            } else {
                e.decisoSullaLinea = true;
                e.precisioneSpareggio = peggiore(e.precisioneMigliore, d.precisioneMigliore);
            }
            continue;
        }
        if (e.giriSanzionati != d.giriSanzionati) continue;
        if (tipo == TipoSessione::ProvaLibera) {
            const double te = e.tempoTotale + e.sanzioni.secondi, td = d.tempoTotale + d.sanzioni.secondi;
            e.distacco = te - td;
            if (te == td) {
                e.exAequo = true;
                e.posizione = d.posizione;
            }
            continue;
        }
        e.distacco = e.arrivo - d.arrivo;
        if (e.arrivo == d.arrivo) {
            e.exAequo = true;
            e.posizione = d.posizione;
        } else if (e.giri > 0 && d.giri > 0) {
            e.decisoSullaLinea = true;
            e.precisioneSpareggio = peggiore(e.precisioneUltimo, d.precisioneUltimo);
        }
    }

    if (r.bandiera || chiusa) {
        r.conclusa = std::all_of(r.classifica.cbegin(), r.classifica.cend(), [](const EsitoPilota &e) {
            return e.stato == StatoPilota::Arrivato || e.stato == StatoPilota::Fermo
                || e.stato == StatoPilota::Squalificato;
        });
    }
    return r;
}

} // namespace gara

#include "results/layoutgara.h"

#include "comune/identita.h"
#include "database/database.h"
#include "gara/testigara.h"
#include "timing/tempotesto.h"

#include <QPair>
#include <algorithm>
#include <cmath>

using namespace gara;

DatiStampaGara DatiStampaGara::leggi(Database &db, qint64 id)
{
    DatiStampaGara d;
    ArchivioGara ag(db);
    const std::optional<Gara> g = ag.gara(id);
    if (!g) return d;
    d.gara = *g;
    d.iscritti = ag.iscritti(id);
    d.manche = ag.manche(id);
    for (const Manche &m : std::as_const(d.manche))
        if (m.stato() != Manche::Stato::DaCorrere) d.risultati.insert(m.id, ag.risultatoManche(m.id));
    d.risultato = ag.risultatoGara(id);
    d.registro = ag.registro(id);
    return d;
}

DatiStampaCampionato DatiStampaCampionato::leggi(Database &db, qint64 id)
{
    DatiStampaCampionato d;
    ArchivioGara ag(db);
    if (const std::optional<Campionato> c = ag.campionato(id)) {
        d.campionato = *c;
        d.classifica = ag.classificaCampionato(id);
    }
    return d;
}

namespace {

using Colonne = QVector<QPair<int, QString>>; // x in millimetres, text

double altezzaTestoMm(double punti) { return punti * 1.2 * 25.4 / 72.0; }

// A text cut to what its column holds.
QString taglia(const QString &t, int caratteri)
{
    return t.size() <= caratteri ? t : t.left(caratteri - 1) + QStringLiteral("…");
}

// The pages of one race document, top to bottom: a line goes on the next page
// when it would reach the footer, and a table's heads come again there.
class Pagine {
public:
    Pagine(double altezzaPagina, const QString &titolo) : altezzaPagina_(altezzaPagina)
    {
        scrivi(40, 10, 16, true, QString::fromUtf8(identita::nomeStampa) + QStringLiteral("  -  ") + titolo);
        scrivi(40, 13, 16, true, LayoutStampa::regola(66));
        y_ = 25;
    }

    // A line of columns; `intestazione` lines are repeated at the top of a new page.
    void riga(const Colonne &colonne, double punti = 10, bool grassetto = false)
    {
        if (!entra(punti)) nuovaPagina();
        for (const auto &[x, testo] : colonne) scrivi(x, y_, punti, grassetto, testo);
        y_ += int(std::ceil(altezzaTestoMm(punti))) + 1;
    }
    void intestazione(const Colonne &colonne)
    {
        testata_ = colonne;
        riga(colonne, 10, true);
        y_ += 1;
    }
    void fineTabella() { testata_.clear(); }
    // A heading with room for itself and `righe` lines below it, else on a new page.
    void sezione(const QString &titolo, int righe = 2)
    {
        testata_.clear();
        y_ += 4;
        if (!entra(13.5, righe * 6)) nuovaPagina();
        scrivi(20, y_, 13.5, true, titolo);
        y_ += 8;
    }
    void spazio(int mm) { y_ += mm; }
    // Keeps the next `mm` together on one page.
    void tieniInsieme(int mm)
    {
        if (y_ + mm > piede(10)) nuovaPagina();
    }
    QVector<VoceStampa> chiudi()
    {
        piede();
        return voci_;
    }

private:
    int piede(double punti) const { return int(std::floor(altezzaPagina_ * 10 - 5 - altezzaTestoMm(punti))) - 5; }
    bool entra(double punti, int oltre = 0) const { return y_ + altezzaTestoMm(punti) + oltre + 12 <= piede(10); }
    void scrivi(int xMm, int yMm, double punti, bool grassetto, const QString &testo)
    {
        if (!testo.isEmpty()) voci_.append({xMm / 10.0, yMm / 10.0, punti, grassetto, pagina_, testo});
    }
    void piede()
    {
        const int y = std::min(y_ + 10, piede(10));
        scrivi(34, y, 10, true, LayoutStampa::regola(117));
        scrivi(35, y + 5, 10, true, LayoutStampa::lineaCrediti());
    }
    void nuovaPagina()
    {
        piede();
        ++pagina_;
        y_ = 10;
        if (!testata_.isEmpty()) {
            for (const auto &[x, testo] : std::as_const(testata_)) scrivi(x, y_, 10, true, testo);
            y_ += int(std::ceil(altezzaTestoMm(10))) + 2;
        }
    }

    double altezzaPagina_;
    QVector<VoceStampa> voci_;
    Colonne testata_;
    int pagina_ = 0;
    int y_ = 0;
};

void intestazioneGara(Pagine &p, const Gara &g)
{
    p.riga({{20, g.nome}}, 13.5, true);
    QStringList parti{g.data.toString(QStringLiteral("dd/MM/yyyy"))};
    if (!g.pista.isEmpty()) parti << QStringLiteral("Pista: ") + g.pista;
    parti << descriviRegole(g.regole);
    QStringList spente;
    for (int c = 0; c < corsieMassime; ++c)
        if (!(g.corsie & (1u << c))) spente << QString::number(c + 1);
    if (!spente.isEmpty()) parti << QStringLiteral("corsie disattivate: ") + spente.join(QStringLiteral(", "));
    p.riga({{20, parti.join(QStringLiteral("  -  "))}});
}

QString nomeIscritto(const DatiStampaGara &d, qint64 id)
{
    for (const Iscritto &i : d.iscritti)
        if (i.id == id) return i.nome;
    return {};
}

QString dettagliIscritto(const DatiStampaGara &d, qint64 id)
{
    for (const Iscritto &i : d.iscritti)
        if (i.id == id) {
            QStringList parti;
            if (!i.vettura.isEmpty()) parti << i.vettura;
            if (!i.club.isEmpty()) parti << i.club;
            return parti.join(QStringLiteral(" - "));
        }
    return {};
}

QString testataManche(const Manche &m)
{
    return QStringLiteral("Manche %1 (turno %2) - %3 - %4")
        .arg(m.numero)
        .arg(m.turno)
        .arg(descriviRegole(m.regole), nomeStatoManche(m.stato()));
}

void risultatoManche(Pagine &p, const Manche &m, const RisultatoManche &r)
{
    p.sezione(testataManche(m), int(r.classifica.size()) + 1);
    p.intestazione({{20, QStringLiteral("Pos.")}, {32, QStringLiteral("Corsia")}, {48, QStringLiteral("Pilota")},
                    {100, QStringLiteral("Giri")}, {114, QStringLiteral("Stato")}, {140, QStringLiteral("Miglior giro")},
                    {165, QStringLiteral("Distacco")}});
    for (const EsitoPilota &e : r.classifica) {
        p.riga({{20, LayoutStampa::numero(e.posizione)}, {34, QString::number(e.corsia + 1)}, {48, taglia(e.pilota, 28)},
                {100, QString::number(e.giriSanzionati)}, {114, nomeStato(e.stato)},
                {140, e.migliorGiro > 0 ? testoTempo(e.migliorGiro) : QString()},
                {165, testoDistacco(e, r.regole.tipo)}});
        QStringList note;
        if (!notaPosto(e).isEmpty()) note << notaPosto(e);
        if (!testoSanzioni(e.sanzioni).isEmpty()) note << QStringLiteral("penalità: ") + testoSanzioni(e.sanzioni);
        if (!e.giriNeutralizzati.isEmpty()) {
            QStringList g;
            for (int n : e.giriNeutralizzati) g << QString::number(n);
            note << QStringLiteral("giri in neutralizzazione: ") + g.join(QStringLiteral(", "));
        }
        if (e.frazione > 0) note << QStringLiteral("frazione di giro: ") + testoGiri(e.frazione);
        if (!note.isEmpty()) p.riga({{48, note.join(QStringLiteral("; "))}}, 8);
    }
    p.fineTabella();
}

} // namespace

QVector<VoceStampa> LayoutGara::programma(const DatiStampaGara &d, double altezzaPagina)
{
    Pagine p(altezzaPagina, QStringLiteral("Programma delle manche"));
    intestazioneGara(p, d.gara);
    if (d.manche.isEmpty()) p.riga({{20, QStringLiteral("Il programma delle manche non è ancora stato preparato.")}});
    for (const Manche &m : d.manche) {
        int piloti = 0;
        for (qint64 i : m.corsie) piloti += i > 0;
        p.tieniInsieme(14 + piloti * 6);
        p.sezione(testataManche(m), piloti);
        for (int c = 0; c < corsieMassime; ++c) {
            if (m.corsie[c] <= 0) continue;
            p.riga({{25, QStringLiteral("Corsia %1").arg(c + 1)}, {50, taglia(nomeIscritto(d, m.corsie[c]), 32)},
                    {115, taglia(dettagliIscritto(d, m.corsie[c]), 40)}});
        }
    }
    return p.chiudi();
}

QVector<VoceStampa> LayoutGara::risultati(const DatiStampaGara &d, double altezzaPagina)
{
    Pagine p(altezzaPagina, QStringLiteral("Risultato della gara"));
    intestazioneGara(p, d.gara);
    p.riga({{20, QStringLiteral("Manche di gara corse: %1 di %2").arg(d.risultato.mancheCorse).arg(d.risultato.mancheProgrammate)}});
    p.sezione(QStringLiteral("Classifica della gara"), int(d.risultato.classifica.size()) + 1);
    p.intestazione({{20, QStringLiteral("Pos.")}, {32, QStringLiteral("Pilota")}, {100, QStringLiteral("Giri")},
                    {122, QStringLiteral("Manche")}, {140, QStringLiteral("Miglior giro")}, {165, QStringLiteral("Penalità")}});
    for (const RisultatoPilotaGara &r : d.risultato.classifica) {
        p.riga({{20, LayoutStampa::numero(r.posizione)}, {32, taglia(r.nome, 32)},
                {100, r.squalificato ? QStringLiteral("squalificato") : testoGiri(r.totale)},
                {125, QString::number(r.manche)}, {140, r.migliorGiro > 0 ? testoTempo(r.migliorGiro) : QString()},
                {165, testoSanzioni(r.sanzioniGara)}});
        if (r.exAequo) p.riga({{32, QStringLiteral("ex aequo")}}, 8);
    }
    p.fineTabella();
    for (const Manche &m : d.manche)
        if (d.risultati.contains(m.id)) risultatoManche(p, m, d.risultati.value(m.id));

    p.sezione(QStringLiteral("Registro di gara"), 2);
    if (d.registro.isEmpty()) p.riga({{20, QStringLiteral("Nessuna penalità né correzione.")}});
    else
        p.intestazione({{20, QStringLiteral("Quando")}, {52, QStringLiteral("Manche")}, {68, QStringLiteral("Pilota")},
                        {108, QStringLiteral("Cosa")}, {135, QStringLiteral("Quanto")}, {155, QStringLiteral("Motivo")}});
    QHash<qint64, int> numeri;
    for (const Manche &m : d.manche) numeri.insert(m.id, m.numero);
    for (const VoceRegistro &v : d.registro) {
        QString cosa = nomeVoce(v.tipo);
        if (v.annullata) cosa += QStringLiteral(" (annullata)");
        QString motivo = v.motivo;
        if (v.annulla > 0) motivo = QStringLiteral("annulla la riga %1: %2").arg(v.annulla).arg(motivo);
        // A long reason goes on over the next lines of its column.
        QStringList pezzi;
        for (int k = 0; k < motivo.size(); k += 30) pezzi << motivo.mid(k, 30);
        if (pezzi.isEmpty()) pezzi << QString();
        p.riga({{20, v.quando.toString(QStringLiteral("dd/MM/yy HH:mm"))},
                {55, v.manche > 0 ? QString::number(numeri.value(v.manche)) : QStringLiteral("gara")},
                {68, taglia(v.pilota, 22)}, {108, cosa}, {135, quantitaVoce(v)}, {155, pezzi.first()}});
        for (int k = 1; k < pezzi.size(); ++k) p.riga({{155, pezzi[k]}});
    }
    return p.chiudi();
}

QVector<VoceStampa> LayoutGara::campionato(const DatiStampaCampionato &d, double altezzaPagina)
{
    const ClassificaCampionato &c = d.classifica;
    Pagine p(altezzaPagina, QStringLiteral("Classifica del campionato"));
    p.riga({{20, d.campionato.nome}}, 13.5, true);
    QStringList punti;
    for (int v : d.campionato.punti.punti) punti << QString::number(v);
    p.riga({{20, QStringLiteral("Punti: %1  -  risultati scartati: %2  -  gare disputate: %3")
                     .arg(punti.join(QLatin1Char('-')))
                     .arg(d.campionato.scarti)
                     .arg(c.gare.size())}});
    p.sezione(QStringLiteral("Gare"), int(c.gare.size()));
    for (int g = 0; g < c.gare.size(); ++g)
        p.riga({{20, QStringLiteral("G%1").arg(g + 1)}, {32, c.gare[g].data.toString(QStringLiteral("dd/MM/yyyy"))},
                {55, taglia(c.gare[g].nome, 60)}});
    p.sezione(QStringLiteral("Classifica"), int(c.righe.size()) + 1);
    // One column per event between the name and the total, as wide as the page allows.
    const int primaColonna = 80, ultimaColonna = 160;
    const int passo = c.gare.isEmpty() ? 10 : std::clamp((ultimaColonna - primaColonna) / int(c.gare.size()), 5, 12);
    const double punto = passo < 9 ? 8 : 10;
    Colonne testata{{20, QStringLiteral("Pos.")}, {32, QStringLiteral("Pilota")}};
    for (int g = 0; g < c.gare.size(); ++g) testata.append({primaColonna + g * passo, QStringLiteral("G%1").arg(g + 1)});
    testata += Colonne{{165, QStringLiteral("Totale")}, {182, QStringLiteral("Vitt.")}};
    p.intestazione(testata);
    for (const RigaCampionato &r : c.righe) {
        Colonne riga{{20, LayoutStampa::numero(r.posizione)}, {32, taglia(r.nome, passo < 9 ? 22 : 24)}};
        for (int g = 0; g < r.punti.size(); ++g) {
            const QString v = r.punti[g] < 0 ? QStringLiteral("-") : QString::number(r.punti[g]);
            riga.append({primaColonna + g * passo, r.scartata.value(g) ? QStringLiteral("(%1)").arg(v) : v});
        }
        riga += Colonne{{167, QString::number(r.totale)}, {184, QString::number(r.piazzamenti.value(0))}};
        p.riga(riga, punto);
        if (!r.spareggio.isEmpty()) p.riga({{32, r.spareggio}}, 8);
    }
    p.fineTabella();
    p.spazio(3);
    p.riga({{20, QStringLiteral("Tra parentesi i risultati scartati; \"-\": gara non corsa.")}}, 8);
    return p.chiudi();
}

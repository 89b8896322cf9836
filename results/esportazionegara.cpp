#include "results/esportazionegara.h"

#include "database/database.h"
#include "gara/testigara.h"
#include "results/esportazionecsv.h"
#include "timing/tempotesto.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QSaveFile>
#include <memory>

using namespace gara;
using excel::Cella;

namespace {

QByteArray riga(const QStringList &celle)
{
    QByteArray r;
    for (int k = 0; k < celle.size(); ++k) r += (k ? ";" : "") + EsportazioneCsv::cella(celle[k]);
    return r + EsportazioneCsv::aCapo();
}

QByteArray testo(const QStringList &intestazioni, const QVector<QStringList> &righe)
{
    QByteArray t = EsportazioneCsv::marcaBom() + riga(intestazioni);
    for (const QStringList &r : righe) t += riga(r);
    return t;
}

const Iscritto *iscritto(const DatiStampaGara &d, qint64 id)
{
    for (const Iscritto &i : d.iscritti)
        if (i.id == id) return &i;
    return nullptr;
}

QString tempo(float t) { return t > 0 ? testoTempo(t) : QString(); }
Cella durata(float t) { return t > 0 ? Cella(excel::Durata{millisecondiTempo(t)}) : Cella(); }
Cella testoOVuoto(const QString &t) { return t.isEmpty() ? Cella() : Cella(t); }

QString note(const EsitoPilota &e)
{
    QStringList n;
    if (!notaPosto(e).isEmpty()) n << notaPosto(e);
    if (!e.giriNeutralizzati.isEmpty()) {
        QStringList g;
        for (int k : e.giriNeutralizzati) g << QString::number(k);
        n << QStringLiteral("giri in neutralizzazione: ") + g.join(QStringLiteral(", "));
    }
    return n.join(QStringLiteral("; "));
}

// Every started heat's drivers in running order, as one table.
template <typename F> void perOgniEsito(const DatiStampaGara &d, F f)
{
    for (const Manche &m : d.manche) {
        const auto r = d.risultati.constFind(m.id);
        if (r == d.risultati.cend()) continue;
        for (const EsitoPilota &e : r->classifica) f(m, *r, e);
    }
}

QHash<qint64, int> numeriManche(const DatiStampaGara &d)
{
    QHash<qint64, int> n;
    for (const Manche &m : d.manche) n.insert(m.id, m.numero);
    return n;
}

} // namespace

EsportazioneGara::Dati EsportazioneGara::leggi(Database &db, qint64 id)
{
    Dati d;
    d.esportato = QDateTime::currentDateTime();
    d.gara = DatiStampaGara::leggi(db, id);
    if (d.gara.gara.campionato > 0) d.campionato = DatiStampaCampionato::leggi(db, d.gara.gara.campionato);
    return d;
}

QByteArray EsportazioneGara::csvRisultato(const Dati &d)
{
    QVector<QStringList> r;
    for (const RisultatoPilotaGara &p : d.gara.risultato.classifica) {
        const Iscritto *i = iscritto(d.gara, p.iscritto);
        r.append({QString::number(p.posizione), p.nome, i ? i->vettura : QString(), i ? i->club : QString(),
                  p.squalificato ? QStringLiteral("squalificato") : testoGiri(p.totale), QString::number(p.manche),
                  tempo(p.migliorGiro), testoSanzioni(p.sanzioniGara)});
    }
    return testo({"Posizione", "Pilota", "Vettura", "Club", "Giri", "Manche", "Miglior giro", "Penalità"}, r);
}

QByteArray EsportazioneGara::csvManche(const Dati &d)
{
    QVector<QStringList> r;
    perOgniEsito(d.gara, [&](const Manche &m, const RisultatoManche &rm, const EsitoPilota &e) {
        r.append({QString::number(m.numero), QString::number(m.turno), descriviRegole(m.regole),
                  QString::number(e.posizione), QString::number(e.corsia + 1), e.pilota, QString::number(e.giriSanzionati),
                  nomeStato(e.stato), tempo(e.migliorGiro), testoDistacco(e, rm.regole.tipo), testoSanzioni(e.sanzioni),
                  note(e)});
    });
    return testo({"Manche", "Turno", "Tipo", "Posizione", "Corsia", "Pilota", "Giri", "Stato", "Miglior giro",
                  "Distacco", "Penalità", "Note"}, r);
}

QByteArray EsportazioneGara::csvRegistro(const Dati &d)
{
    const QHash<qint64, int> numeri = numeriManche(d.gara);
    QVector<QStringList> r;
    for (const VoceRegistro &v : d.gara.registro)
        r.append({v.quando.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                  v.manche > 0 ? QString::number(numeri.value(v.manche)) : QString(), v.pilota, nomeVoce(v.tipo),
                  quantitaVoce(v), v.motivo, v.annulla > 0 ? QString::number(v.annulla) : QString(),
                  v.annullata ? QStringLiteral("sì") : QString(), QString::number(v.id)});
    return testo({"Quando", "Manche", "Pilota", "Cosa", "Quanto", "Motivo", "Annulla la riga", "Annullata", "Riga"}, r);
}

QByteArray EsportazioneGara::csvCampionato(const Dati &d)
{
    if (!d.campionato) return {};
    const ClassificaCampionato &c = d.campionato->classifica;
    QStringList testata{"Posizione", "Pilota"};
    for (const GaraDelCampionato &g : c.gare) testata << g.nome;
    testata << QStringLiteral("Totale") << QStringLiteral("Vittorie") << QStringLiteral("Spareggio");
    QVector<QStringList> r;
    for (const RigaCampionato &riga : c.righe) {
        QStringList celle{QString::number(riga.posizione), riga.nome};
        for (int g = 0; g < riga.punti.size(); ++g) {
            const QString v = riga.punti[g] < 0 ? QString() : QString::number(riga.punti[g]);
            celle << (riga.scartata.value(g) ? QStringLiteral("(%1)").arg(v) : v);
        }
        celle << QString::number(riga.totale) << QString::number(riga.piazzamenti.value(0)) << riga.spareggio;
        r.append(celle);
    }
    return testo(testata, r);
}

QStringList EsportazioneGara::fileCsv(const QString &nome, bool conCampionato)
{
    const QFileInfo info(nome);
    const QString suffisso = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const auto accanto = [&](const char *parte) {
        return info.dir().filePath(info.completeBaseName() + QLatin1Char('-') + QLatin1String(parte) + suffisso);
    };
    QStringList l{nome, accanto("manche"), accanto("registro")};
    if (conCampionato) l << accanto("campionato");
    return l;
}

bool EsportazioneGara::scriviCsv(const QString &nome, const Dati &d, QString *errore)
{
    const QStringList file = fileCsv(nome, d.campionato.has_value());
    const QVector<QByteArray> testi{csvRisultato(d), csvManche(d), csvRegistro(d), csvCampionato(d)};
    // Each written in full to a temporary file first; renamed only when all are complete.
    std::vector<std::unique_ptr<QSaveFile>> salvati;
    for (int k = 0; k < file.size(); ++k) {
        salvati.push_back(std::make_unique<QSaveFile>(file[k]));
        QSaveFile &f = *salvati.back();
        const bool aperto = f.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        if (!aperto || f.write(testi[k]) != testi[k].size()) {
            if (errore) *errore = motivoScrittura(f, aperto);
            return false;
        }
    }
    for (int k = 0; k < int(salvati.size()); ++k)
        if (!salvati[k]->commit()) {
            if (errore) *errore = motivoScrittura(*salvati[k], true);
            // The files already in place go, so no half export is left.
            for (int j = 0; j < k; ++j) QFile::remove(file[j]);
            return false;
        }
    return true;
}

QVector<excel::Foglio> EsportazioneGara::fogli(const Dati &d)
{
    excel::Foglio risultato{QStringLiteral("Risultato"),
                            {"Posizione", "Pilota", "Vettura", "Club", "Giri", "Manche", "Miglior giro", "Penalità"}, {}};
    for (const RisultatoPilotaGara &p : d.gara.risultato.classifica) {
        const Iscritto *i = iscritto(d.gara, p.iscritto);
        risultato.righe.append({qint64(p.posizione), p.nome, testoOVuoto(i ? i->vettura : QString()),
                                testoOVuoto(i ? i->club : QString()),
                                p.squalificato ? Cella(QStringLiteral("squalificato")) : Cella(excel::Decimale{p.totale}),
                                qint64(p.manche), durata(p.migliorGiro), testoOVuoto(testoSanzioni(p.sanzioniGara))});
    }
    excel::Foglio manche{QStringLiteral("Manche"),
                         {"Manche", "Turno", "Tipo", "Posizione", "Corsia", "Pilota", "Giri", "Stato", "Miglior giro",
                          "Penalità", "Note"}, {}};
    perOgniEsito(d.gara, [&](const Manche &m, const RisultatoManche &, const EsitoPilota &e) {
        manche.righe.append({qint64(m.numero), qint64(m.turno), descriviRegole(m.regole), qint64(e.posizione),
                             qint64(e.corsia + 1), e.pilota, qint64(e.giriSanzionati), nomeStato(e.stato),
                             durata(e.migliorGiro), testoOVuoto(testoSanzioni(e.sanzioni)), testoOVuoto(note(e))});
    });
    const QHash<qint64, int> numeri = numeriManche(d.gara);
    excel::Foglio registro{QStringLiteral("Registro"),
                           {"Data", "Ora", "Manche", "Pilota", "Cosa", "Giri", "Secondi", "Motivo", "Annullata"}, {}};
    for (const VoceRegistro &v : d.gara.registro)
        registro.righe.append({v.quando.date(), v.quando.time(), v.manche > 0 ? Cella(qint64(numeri.value(v.manche))) : Cella(),
                               testoOVuoto(v.pilota), nomeVoce(v.tipo),
                               v.tipo == TipoVoce::Giri ? Cella(qint64(v.giri)) : Cella(),
                               v.tipo == TipoVoce::Secondi ? Cella(excel::Decimale{v.secondi}) : Cella(),
                               testoOVuoto(v.motivo), v.annullata ? Cella(QStringLiteral("sì")) : Cella()});
    QVector<excel::Foglio> l{risultato, manche, registro};
    if (d.campionato) {
        const ClassificaCampionato &c = d.campionato->classifica;
        excel::Foglio campionato{QStringLiteral("Campionato"), {"Posizione", "Pilota"}, {}};
        for (const GaraDelCampionato &g : c.gare) campionato.intestazioni << g.nome;
        campionato.intestazioni << QStringLiteral("Totale") << QStringLiteral("Vittorie") << QStringLiteral("Spareggio");
        for (const RigaCampionato &r : c.righe) {
            QVector<Cella> celle{qint64(r.posizione), r.nome};
            // A dropped result stays a number; the text column says which went.
            for (int g = 0; g < r.punti.size(); ++g) celle.append(r.punti[g] < 0 ? Cella() : Cella(qint64(r.punti[g])));
            celle << Cella(qint64(r.totale)) << Cella(qint64(r.piazzamenti.value(0))) << testoOVuoto(r.spareggio);
            campionato.righe.append(celle);
        }
        l.append(campionato);
    }
    return l;
}

bool EsportazioneGara::scriviExcel(const QString &file, const Dati &d, QString *errore)
{
    excel::Proprieta p;
    p.titolo = QStringLiteral("Gara - ") + d.gara.gara.nome;
    p.soggetto = d.gara.gara.pista;
    p.commento = d.esportato.toString(QStringLiteral("'Esportato il' dd/MM/yyyy 'alle' HH:mm:ss"));
    p.creata = d.esportato;
    p.testi = {{QStringLiteral("Gara"), d.gara.gara.nome}, {QStringLiteral("Pista"), d.gara.gara.pista}};
    p.date = {{QStringLiteral("Esportato"), d.esportato}};
    return excel::scrivi(file, fogli(d), p, errore);
}

EsportazioneGara::EsportazioneGara(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                                   ArchivioAsincrono *archivio)
    : percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), dialogo_(dialogo), archivio_(archivio)
{
}

EsitoEsportazione EsportazioneGara::esportaCsv(qint64 gara, bool conCampionato)
{
    const Esportazione e{QString::fromUtf8(titoloCsv), QStringLiteral("File CSV|*.csv"), QStringLiteral(".csv"),
                         [conCampionato](const QString &nome) { return fileCsv(nome, conCampionato); },
                         [gara](Database &db, const QString &nome, QString *errore) {
                             return scriviCsv(nome, leggi(db, gara), errore);
                         }};
    return e.esegui(percorso_, messaggi_, dialogo_, archivio_);
}

EsitoEsportazione EsportazioneGara::esportaExcel(qint64 gara)
{
    const Esportazione e{QString::fromUtf8(titoloExcel), QStringLiteral("Cartella di lavoro Excel|*.xlsx"),
                         QStringLiteral(".xlsx"), [](const QString &nome) { return QStringList{nome}; },
                         [gara](Database &db, const QString &nome, QString *errore) {
                             return scriviExcel(nome, leggi(db, gara), errore);
                         }};
    return e.esegui(percorso_, messaggi_, dialogo_, archivio_);
}

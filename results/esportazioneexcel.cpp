#include "results/esportazioneexcel.h"

#include "results/cartellaexcel.h"
#include "database/database.h"
#include "timing/tempotesto.h"

#include <QDir>
#include <QSet>
#include <charconv>

using namespace Qt::StringLiterals;

namespace {

using namespace excel;

// The shortest decimal that reads back as the same single-precision lap time
// (84.831, not 84.83100128...).
double decimaleBreve(float f)
{
    char testo[64];
    const auto fatto = std::to_chars(testo, testo + sizeof testo, f);
    double d = f;
    std::from_chars(testo, fatto.ptr, d);
    return d;
}

Cella intero(const std::optional<qint64> &n) { return n ? Cella(*n) : Cella(); }
Cella durataGiro(const std::optional<float> &s) { return s ? Cella(Durata{millisecondiTempo(*s)}) : Cella(); }
Cella secondi(const std::optional<float> &s) { return s ? Cella(Secondi{decimaleBreve(*s)}) : Cella(); }
// Stored as "dd/mm/yyyy" and "h:m:s"; anything else stays the text it is.
Cella data(const QString &t)
{
    const QDate d = QDate::fromString(t, QStringLiteral("dd/MM/yyyy"));
    return d.isValid() ? Cella(d) : t.isEmpty() ? Cella() : Cella(t);
}
Cella ora(const QString &t)
{
    const QTime o = QTime::fromString(t, QStringLiteral("H:m:s"));
    return o.isValid() ? Cella(o) : t.isEmpty() ? Cella() : Cella(t);
}

QVector<Foglio> fogli(const EsportazioneExcel::Dati &d)
{
    Foglio giri{u"Giri"_s, {u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Data"_s, u"Ora"_s, u"Pista"_s}, {}};
    giri.righe.reserve(d.giri.size());
    for (const auto &g : d.giri)
        giri.righe.append({g.pilota, intero(g.giro), durataGiro(g.secondi), secondi(g.secondi), data(g.data), ora(g.ora), g.pista});
    Foglio classifica{u"Classifica"_s, {u"Posizione"_s, u"Pilota"_s, u"Giri"_s, u"TempoTotale"_s}, {}};
    for (qint64 i = 0; i < d.classifica.size(); ++i) {
        const auto &p = d.classifica[i];
        classifica.righe.append({i + 1, p.pilota, intero(p.giri),
                                 p.totale ? Cella(Durata{millisecondiTempoDoppio(*p.totale)}) : Cella()});
    }
    Foglio veloci{u"Giri veloci"_s, {u"Posizione"_s, u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Pista"_s}, {}};
    for (qint64 i = 0; i < d.veloci.size(); ++i) {
        const auto &g = d.veloci[i];
        veloci.righe.append({i + 1, g.pilota, intero(g.giro), durataGiro(g.secondi), secondi(g.secondi), g.pista});
    }
    return {giri, classifica, veloci};
}

// Every track of the laps, in the order they first appear.
QString piste(const EsportazioneExcel::Dati &d)
{
    QStringList nomi;
    QSet<QString> visti;
    for (const auto &g : d.giri)
        if (!g.pista.isEmpty() && !visti.contains(g.pista)) {
            visti.insert(g.pista);
            nomi.append(g.pista);
        }
    return nomi.join(QStringLiteral(", "));
}

EsportazioneExcel::Giro giro(const Istruzione &q)
{
    std::optional<float> s;
    if (!q.nullo(2)) s = float(q.reale(2));
    return {q.testo(0), q.interoONullo(1), s, q.testo(3), q.testo(4), q.testo(5)};
}

} // namespace

EsportazioneExcel::EsportazioneExcel(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                                     ArchivioAsincrono *archivio)
    : percorso_(std::move(percorsoDatabase)), messaggi_(messaggi), dialogo_(dialogo), archivio_(archivio)
{
}

EsportazioneExcel::Dati EsportazioneExcel::leggi(Database &db)
{
    Dati d;
    d.esportato = QDateTime::currentDateTime();
    for (Istruzione q = db.prepara("SELECT pilota, giroN, tempoGiro, Data, ora, pista FROM Giri ORDER BY id"); q.passo();)
        d.giri.append(giro(q));
    // The totals as numbers: the stored standings hold them as texts.
    for (Istruzione q = db.prepara("SELECT Pilota, Giri, TempoTotale FROM Classifica"); q.passo();) {
        std::optional<double> totale;
        if (!q.nullo(2)) totale = q.reale(2);
        d.classifica.append({q.testo(0), q.interoONullo(1), totale});
    }
    // The rule of Sunto2, with the seconds it does not give.
    for (Istruzione q = db.prepara("SELECT pilota, giroN, tempoGiro, Data, ora, pista FROM Giri "
                                   "WHERE tempoGiro IS NOT NULL ORDER BY tempoGiro, id LIMIT 5");
         q.passo();)
        d.veloci.append(giro(q));
    return d;
}

bool EsportazioneExcel::scrivi(const QString &file, const Dati &dati, QString *errore)
{
    const QString pista = piste(dati);
    Proprieta p;
    p.titolo = QStringLiteral("Tempi") + (pista.isEmpty() ? QString() : QStringLiteral(" - ") + pista);
    p.soggetto = pista;
    p.commento = dati.esportato.toString(QStringLiteral("'Esportato il' dd/MM/yyyy 'alle' HH:mm:ss"));
    p.creata = dati.esportato;
    p.testi = {{QStringLiteral("Pista"), pista}};
    p.date = {{QStringLiteral("Esportato"), dati.esportato}};
    return excel::scrivi(file, fogli(dati), p, errore);
}

EsitoEsportazione EsportazioneExcel::esporta()
{
    const Esportazione esportazione{
        QString::fromUtf8(titolo), QString::fromUtf8(filtro), QStringLiteral(".xlsx"),
        [](const QString &nome) { return QStringList{nome}; },
        [](Database &db, const QString &nome, QString *errore) { return scrivi(nome, leggi(db), errore); }};
    return esportazione.esegui(percorso_, messaggi_, dialogo_, archivio_);
}

#include "results/esportazioneexcel.h"

#include "comune/identita.h"
#include "database/database.h"
#include "piattaforma/luoghi.h"
#include "timing/tempotesto.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryFile>
#include <charconv>
#include <variant>
#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace {

// One cell as the workbook types it.
struct Durata { qint64 millisecondi; };
struct Secondi { double valore; };
using Cella = std::variant<std::monostate, QString, qint64, Durata, Secondi, QDate, QTime>;

struct Foglio {
    const char *nome;
    QStringList intestazioni;
    QVector<QVector<Cella>> righe;
};

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

// How many characters the cell shows, for the column's width.
int larghezza(const Cella &c)
{
    struct {
        int operator()(std::monostate) const { return 0; }
        int operator()(const QString &t) const { return int(t.size()); }
        int operator()(qint64 n) const { return int(QString::number(n).size()); }
        int operator()(Durata d) const { return std::max(2, int(QString::number(d.millisecondi / 60000).size())) + 7; }
        int operator()(Secondi s) const { return int(QString::number(s.valore, 'f', 3).size()); }
        int operator()(const QDate &) const { return 10; }
        int operator()(const QTime &) const { return 8; }
    } misura;
    return std::visit(misura, c);
}

class Cartella {
public:
    explicit Cartella(lxw_workbook *wb) : wb_(wb)
    {
        auto formato = [wb](const char *codice) {
            lxw_format *f = workbook_add_format(wb);
            format_set_num_format(f, codice);
            return f;
        };
        intestazione_ = workbook_add_format(wb);
        format_set_bold(intestazione_);
        intero_ = formato("0");
        durata_ = formato(EsportazioneExcel::formatoDurata);
        secondi_ = formato("0.000");
        data_ = formato("dd/mm/yyyy");
        ora_ = formato("hh:mm:ss");
    }

    lxw_error aggiungi(const Foglio &f)
    {
        lxw_worksheet *ws = workbook_add_worksheet(wb_, f.nome);
        if (!ws) return LXW_ERROR_MEMORY_MALLOC_FAILED;
        // Widths first: rows go to disk as they are written.
        for (int c = 0; c < f.intestazioni.size(); ++c) {
            int massimo = int(f.intestazioni[c].size());
            for (const auto &riga : f.righe) massimo = std::max(massimo, larghezza(riga.value(c)));
            if (const lxw_error e = worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), std::min(massimo, 80) + 2, nullptr))
                return e;
        }
        worksheet_freeze_panes(ws, 1, 0);
        for (int c = 0; c < f.intestazioni.size(); ++c)
            if (const lxw_error e = worksheet_write_string(ws, 0, lxw_col_t(c), f.intestazioni[c].toUtf8().constData(), intestazione_))
                return e;
        for (int r = 0; r < f.righe.size(); ++r)
            for (int c = 0; c < f.righe[r].size(); ++c)
                if (const lxw_error e = scrivi(ws, lxw_row_t(r + 1), lxw_col_t(c), f.righe[r][c])) return e;
        return LXW_NO_ERROR;
    }

private:
    lxw_error scrivi(lxw_worksheet *ws, lxw_row_t r, lxw_col_t c, const Cella &cella)
    {
        static const QDate origine(1899, 12, 30); // day 0 of the spreadsheets' dates
        if (const auto *t = std::get_if<QString>(&cella)) return worksheet_write_string(ws, r, c, t->toUtf8().constData(), nullptr);
        if (const auto *n = std::get_if<qint64>(&cella)) return worksheet_write_number(ws, r, c, double(*n), intero_);
        if (const auto *d = std::get_if<Durata>(&cella))
            return worksheet_write_number(ws, r, c, double(d->millisecondi) / 86400000.0, durata_);
        if (const auto *s = std::get_if<Secondi>(&cella)) return worksheet_write_number(ws, r, c, s->valore, secondi_);
        if (const auto *g = std::get_if<QDate>(&cella)) return worksheet_write_number(ws, r, c, double(origine.daysTo(*g)), data_);
        if (const auto *o = std::get_if<QTime>(&cella))
            return worksheet_write_number(ws, r, c, o->msecsSinceStartOfDay() / 86400000.0, ora_);
        return LXW_NO_ERROR;
    }

    lxw_workbook *wb_;
    lxw_format *intestazione_, *intero_, *durata_, *secondi_, *data_, *ora_;
};

QVector<Foglio> fogli(const EsportazioneExcel::Dati &d)
{
    Foglio giri{"Giri", {u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Data"_s, u"Ora"_s, u"Pista"_s}, {}};
    giri.righe.reserve(d.giri.size());
    for (const auto &g : d.giri)
        giri.righe.append({g.pilota, intero(g.giro), durataGiro(g.secondi), secondi(g.secondi), data(g.data), ora(g.ora), g.pista});
    Foglio classifica{"Classifica", {u"Posizione"_s, u"Pilota"_s, u"Giri"_s, u"TempoTotale"_s}, {}};
    for (qint64 i = 0; i < d.classifica.size(); ++i) {
        const auto &p = d.classifica[i];
        classifica.righe.append({i + 1, p.pilota, intero(p.giri),
                                 p.totale ? Cella(Durata{millisecondiTempoDoppio(*p.totale)}) : Cella()});
    }
    Foglio veloci{"Giri veloci", {u"Posizione"_s, u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Pista"_s}, {}};
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
    QTemporaryFile bozza(QDir::temp().filePath(QStringLiteral("saettinopro-XXXXXX.xlsx")));
    const QByteArray cartellaTemporanea = luoghi::nomePerLibreriaC(QDir::tempPath());
    auto fallito = [&](const QString &perche) {
        if (errore)
            *errore = QStringLiteral("Impossibile preparare la cartella di lavoro nella cartella temporanea %1 (%2).")
                          .arg(QDir::toNativeSeparators(QDir::tempPath()), perche);
        return false;
    };
    if (!bozza.open()) return fallito(bozza.errorString());
    bozza.close();

    lxw_workbook_options opzioni{};
    opzioni.constant_memory = LXW_TRUE; // 100,000 laps stay out of memory
    opzioni.tmpdir = const_cast<char *>(cartellaTemporanea.constData());
    lxw_workbook *wb = workbook_new_opt(luoghi::nomePerLibreriaC(bozza.fileName()).constData(), &opzioni);
    if (!wb) return fallito(QStringLiteral("memoria insufficiente"));

    const QByteArray pista = piste(dati).toUtf8();
    const QByteArray titolo = (QStringLiteral("Tempi") + (pista.isEmpty() ? QString() : QStringLiteral(" - ") + piste(dati))).toUtf8();
    const QByteArray autore = QByteArray(identita::titolo);
    const QByteArray commento =
        dati.esportato.toString(QStringLiteral("'Esportato il' dd/MM/yyyy 'alle' HH:mm:ss")).toUtf8();
    lxw_doc_properties proprieta{};
    proprieta.title = const_cast<char *>(titolo.constData());
    proprieta.subject = const_cast<char *>(pista.constData());
    proprieta.author = const_cast<char *>(autore.constData());
    proprieta.comments = const_cast<char *>(commento.constData());
    proprieta.created = time_t(dati.esportato.toSecsSinceEpoch());
    const QDateTime utc = dati.esportato.toUTC();
    lxw_datetime momento{utc.date().year(), utc.date().month(), utc.date().day(),
                         utc.time().hour(), utc.time().minute(), double(utc.time().second())};

    lxw_error e = workbook_set_properties(wb, &proprieta);
    if (!e) e = workbook_set_custom_property_string(wb, "Pista", pista.constData());
    if (!e) e = workbook_set_custom_property_datetime(wb, "Esportato", &momento);
    Cartella cartella(wb);
    for (const Foglio &f : fogli(dati))
        if (!e) e = cartella.aggiungi(f);
    const lxw_error chiusura = workbook_close(wb); // frees the workbook in any case
    if (!e) e = chiusura;
    if (e) return fallito(QString::fromUtf8(lxw_strerror(e)));

    QFile fatto(bozza.fileName());
    if (!fatto.open(QIODevice::ReadOnly)) return fallito(fatto.errorString());
    const QByteArray byte = fatto.readAll();
    if (fatto.error() != QFileDevice::NoError) return fallito(fatto.errorString());
    return scriviFileIntero(file, byte, errore);
}

EsitoEsportazione EsportazioneExcel::esporta()
{
    const Esportazione esportazione{
        QString::fromUtf8(titolo), QString::fromUtf8(filtro), QStringLiteral(".xlsx"),
        [](const QString &nome) { return QStringList{nome}; },
        [](Database &db, const QString &nome, QString *errore) { return scrivi(nome, leggi(db), errore); }};
    return esportazione.esegui(percorso_, messaggi_, dialogo_, archivio_);
}

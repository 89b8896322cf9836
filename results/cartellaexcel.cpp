#include "results/cartellaexcel.h"

#include "comune/identita.h"
#include "piattaforma/luoghi.h"
#include "results/esportazione.h"
#include "results/esportazioneexcel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <xlsxwriter.h>

namespace excel {

namespace {

// How many characters the cell shows, for the column's width.
int larghezza(const Cella &c)
{
    struct {
        int operator()(std::monostate) const { return 0; }
        int operator()(const QString &t) const { return int(t.size()); }
        int operator()(qint64 n) const { return int(QString::number(n).size()); }
        int operator()(Durata d) const { return std::max(2, int(QString::number(d.millisecondi / 60000).size())) + 7; }
        int operator()(Secondi s) const { return int(QString::number(s.valore, 'f', 3).size()); }
        int operator()(Decimale s) const { return int(QString::number(s.valore, 'f', 3).size()); }
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
        lxw_worksheet *ws = workbook_add_worksheet(wb_, f.nome.toUtf8().constData());
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
        if (const auto *s = std::get_if<Decimale>(&cella)) return worksheet_write_number(ws, r, c, s->valore, secondi_);
        if (const auto *g = std::get_if<QDate>(&cella)) return worksheet_write_number(ws, r, c, double(origine.daysTo(*g)), data_);
        if (const auto *o = std::get_if<QTime>(&cella))
            return worksheet_write_number(ws, r, c, o->msecsSinceStartOfDay() / 86400000.0, ora_);
        return LXW_NO_ERROR;
    }

    lxw_workbook *wb_;
    lxw_format *intestazione_, *intero_, *durata_, *secondi_, *data_, *ora_;
};

} // namespace

bool scrivi(const QString &file, const QVector<Foglio> &fogli, const Proprieta &p, QString *errore)
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

    const QByteArray titolo = p.titolo.toUtf8(), soggetto = p.soggetto.toUtf8(), commento = p.commento.toUtf8();
    const QByteArray autore = QByteArray(identita::titolo);
    lxw_doc_properties proprieta{};
    proprieta.title = const_cast<char *>(titolo.constData());
    proprieta.subject = const_cast<char *>(soggetto.constData());
    proprieta.author = const_cast<char *>(autore.constData());
    proprieta.comments = const_cast<char *>(commento.constData());
    proprieta.created = time_t(p.creata.toSecsSinceEpoch());

    lxw_error e = workbook_set_properties(wb, &proprieta);
    for (const auto &[nome, valore] : p.testi)
        if (!e) e = workbook_set_custom_property_string(wb, nome.toUtf8().constData(), valore.toUtf8().constData());
    for (const auto &[nome, quando] : p.date) {
        const QDateTime utc = quando.toUTC();
        lxw_datetime momento{utc.date().year(), utc.date().month(), utc.date().day(),
                             utc.time().hour(), utc.time().minute(), double(utc.time().second())};
        if (!e) e = workbook_set_custom_property_datetime(wb, nome.toUtf8().constData(), &momento);
    }
    Cartella cartella(wb);
    for (const Foglio &f : fogli)
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

} // namespace excel

// The race pages and exports on a real file, read back with pdftotext, a CSV grammar and python3-openpyxl.
#include "comune/dialogofile.h"
#include "archiviodiretto.h"
#include "databaseprova.h"
#include "dialogofilefinto.h"
#include "gara/archiviogara.h"
#include "results/esportazionegara.h"
#include "results/stampagara.h"
#include "results/superficiestampa.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

namespace {
const QDateTime sera(QDate(2026, 12, 12), QTime(21, 0));

// An evening of four drivers on two lanes, laps of 2; heat 1 and 2 run, a penalty, a championship.
struct Banco : DatabaseProva, Stampanti {
    ArchivioGara ag{db};
    DialogoFileFinto dialogo;
    QString errore;
    qint64 gara = 0, campionato = 0;
    QVector<Manche> manche;

    Banco(int piloti = 4)
    {
        Campionato c;
        c.nome = u"Trofeo d'inverno"_s;
        campionato = ag.creaCampionato(c, &errore);
        Gara g;
        g.nome = u"Prima serata"_s;
        g.data = sera.date();
        g.pista = u"Pista Nord"_s;
        g.regole.tipo = TipoSessione::GaraAGiri;
        g.regole.giri = 2;
        g.corsie = 0b11;
        g.campionato = campionato;
        gara = ag.creaGara(g, &errore);
        const QStringList nomi{u"Alfa"_s, u"Rossi; Mario"_s, u"=1+2"_s, u"Delta"_s};
        for (int k = 0; k < piloti; ++k) ag.iscrivi({0, gara, nomi.value(k, u"Pilota %1"_s.arg(k + 1)), u"Slot %1"_s.arg(k), u"Club Nord"_s}, &errore);
        ag.generaProgramma(gara, &errore);
        manche = ag.manche(gara);
    }
    // A heat run from `partenza`: each lane's crossings, then closed.
    void corri(int numero, double partenza, const QList<QList<double>> &passaggi)
    {
        const Manche &m = manche[numero - 1];
        QVERIFY(ag.avviaManche(m.id, partenza, &errore));
        ArchivioDiretto tempi(db);
        for (int c = 0; c < passaggi.size(); ++c) {
            QString pilota;
            for (const Iscritto &i : ag.iscritti(gara))
                if (i.id == m.corsie[c]) pilota = i.nome;
            double prima = partenza;
            for (double t : passaggi[c]) {
                GiroCompletato g{pilota, tempi.contaGiri(pilota) + 1, float(t - prima), QString(), u"Pista Nord"_s, sera};
                g.istante = t;
                g.manche = m.id;
                tempi.memorizza(g);
                prima = t;
            }
        }
        QVERIFY(ag.chiudiManche(m.id, partenza + 100, &errore));
    }
    bool disponibile() override { return false; }
    std::unique_ptr<SuperficieStampa> predefinita() override { return nullptr; }
    std::unique_ptr<SuperficieStampa> pdf(const QString &file) override { return std::make_unique<FilePdf>(file); }
    // The document printed to a PDF (no printer here), as pdftotext reads it.
    QString pdf(StampaGara::Documento d, qint64 id)
    {
        const QString file = this->file(u"gara.pdf"_s);
        QFile::remove(file);
        messaggi.risposte = {Messaggi::Risposta::Si};
        dialogo.risposte = {file};
        if (StampaGara(percorso, messaggi, dialogo, *this).stampa(d, id) != Stampa::Esito::SalvatoPdf) return {};
        QProcess testo;
        testo.start(u"pdftotext"_s, {u"-layout"_s, file, u"-"_s});
        if (!testo.waitForFinished(60000) || testo.exitCode() != 0) return u"pdftotext (poppler-utils) non ha letto il PDF"_s;
        return QString::fromUtf8(testo.readAllStandardOutput());
    }
};

// Per sheet, each row's cells as openpyxl reads them: numbers stay numbers, durations are seconds.
const char *const lettoreXlsx = R"py(
import datetime, json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
def valore(v):
    if isinstance(v, datetime.timedelta): return {"durata": round(v.total_seconds(), 3)}
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time)): return {"iso": v.isoformat()}
    return v
print(json.dumps({ws.title: [[valore(c.value) for c in riga] for riga in ws.iter_rows()] for ws in wb.worksheets}))
)py";

bool contiene(const QString &testo, const QStringList &parti, QString *mancante)
{
    for (const QString &p : parti)
        if (!testo.contains(p)) return *mancante = p, false;
    return true;
}
} // namespace

class TstGaraUscite : public QObject {
    Q_OBJECT
private slots:
    // The heat sheets before the start, the results with their penalties and trail, and the
    // championship table, read back from the PDF.
    void pagineDellaGara()
    {
        Banco b;
        QString mancante;
        const QString programma = b.pdf(StampaGara::Documento::Programma, b.gara);
        QVERIFY2(contiene(programma, {u"Programma delle manche"_s, u"Prima serata"_s, u"12/12/2026"_s,
                                      u"Manche 1 (turno 1) - Gara a giri, 2 giri - Da correre"_s, u"Corsia 1"_s,
                                      u"Corsia 2"_s, u"Rossi; Mario"_s, u"Slot 0 - Club Nord"_s, u"Manche 4"_s},
                          &mancante),
                 qPrintable(mancante + u"\n"_s + programma));
        b.corri(1, 1000, {{1010, 1020}, {1012, 1030}});
        b.corri(2, 2000, {{2011, 2022}, {2015}});
        const Manche m1 = b.ag.manche(b.gara)[0];
        Sanzione s{b.gara, m1.id, b.ag.risultatoManche(m1.id).classifica[1].pilota, TipoVoce::Secondi, 0, 1.5,
                   u"contatto in curva"_s};
        QVERIFY(b.ag.sanziona(s, sera, &b.errore) > 0);
        const QString risultati = b.pdf(StampaGara::Documento::Risultati, b.gara);
        QVERIFY2(contiene(risultati, {u"Risultato della gara"_s, u"Manche di gara corse: 2 di 4"_s,
                                      u"Classifica della gara"_s, u"Manche 1 (turno 1) - Gara a giri, 2 giri - Conclusa"_s,
                                      u"Arrivato"_s, u"Fermo"_s, u"penalità: secondi +1,500"_s, u"Registro di gara"_s,
                                      u"Secondi"_s, u"contatto in curva"_s, u"00:10,000"_s},
                          &mancante),
                 qPrintable(mancante + u"\n"_s + risultati));
        const QString campionato = b.pdf(StampaGara::Documento::Campionato, b.campionato);
        QVERIFY2(contiene(campionato, {u"Classifica del campionato"_s, u"Trofeo d'inverno"_s,
                                       u"Punti: 10-8-6-5-4-3-2-1"_s, u"G1"_s, u"Prima serata"_s, u"Totale"_s},
                          &mancante),
                 qPrintable(mancante + u"\n"_s + campionato));
        // An event that is gone is told, and no file is written.
        b.messaggi.mostrati.clear();
        QVERIFY(b.pdf(StampaGara::Documento::Risultati, 999).isEmpty());
        QCOMPARE(b.messaggi.ultimo(), u"La gara non c'è più nel database."_s);
    }

    // A long schedule goes over pages: nothing passes the page's foot and every page has its footer.
    void programmaLungo()
    {
        Banco b(24);
        const double altezza = 28.7;
        const QVector<VoceStampa> voci = StampaGara::componi(b.db, StampaGara::Documento::Programma, b.gara, altezza);
        QVERIFY(!voci.isEmpty());
        const int pagine = voci.last().pagina + 1;
        QVERIFY2(pagine >= 3, qPrintable(QString::number(pagine)));
        QVector<int> piedi(pagine, 0);
        for (const VoceStampa &v : voci) {
            QVERIFY2(v.y + v.punti * 1.2 / 72 * 2.54 <= altezza, qPrintable(v.testo));
            if (v.testo == LayoutStampa::lineaCrediti()) ++piedi[v.pagina];
        }
        QCOMPARE(piedi, QVector<int>(pagine, 1));
    }

    // The CSV files (result, heats, trail, championship) and the workbook, read back; a name a
    // spreadsheet would run stays text.
    void esportazioni()
    {
        Banco b;
        b.corri(1, 1000, {{1010, 1020}, {1012, 1030}});
        QVERIFY(b.ag.sanziona({b.gara, 0, u"Alfa"_s, TipoVoce::Giri, -1, 0, u"partenza anticipata"_s}, sera, &b.errore) > 0);
        b.dialogo.risposte = {b.file(u"serata"_s)};
        QCOMPARE(EsportazioneGara(b.percorso, b.messaggi, b.dialogo).esportaCsv(b.gara, true), EsitoEsportazione::Esportato);
        QCOMPARE(QDir(b.cartella.path()).entryList({u"serata*"_s}),
                 (QStringList{u"serata-campionato.csv"_s, u"serata-manche.csv"_s, u"serata-registro.csv"_s, u"serata.csv"_s}));
        const auto risultato = leggiCsv(b.file(u"serata.csv"_s));
        QCOMPARE(risultato.value(0), (QStringList{"Posizione", "Pilota", "Vettura", "Club", "Giri", "Manche", "Miglior giro", "Penalità"}));
        QCOMPARE(risultato.size(), 5);
        const RisultatoGara r = b.ag.risultatoGara(b.gara);
        for (int k = 0; k < r.classifica.size(); ++k) {
            const QString nome = r.classifica[k].nome;
            QCOMPARE(risultato[k + 1].value(1), nome.startsWith('=') ? u"'"_s + nome : nome);
        }
        const QStringList alfa = *std::find_if(risultato.cbegin(), risultato.cend(), [](const QStringList &x) { return x.value(1) == u"Alfa"_s; });
        QCOMPARE(alfa.mid(4), (QStringList{u"1,000"_s, u"1"_s, u"00:10,000"_s, u"giri -1"_s}));
        const auto manche = leggiCsv(b.file(u"serata-manche.csv"_s));
        QCOMPARE(manche.size(), 3);
        QCOMPARE(manche[1].mid(0, 8), (QStringList{u"1"_s, u"1"_s, u"Gara a giri, 2 giri"_s, u"1"_s, u"1"_s, u"Alfa"_s, u"2"_s, u"Arrivato"_s}));
        const auto registro = leggiCsv(b.file(u"serata-registro.csv"_s));
        QCOMPARE(registro.value(1).mid(2, 4), (QStringList{u"Alfa"_s, u"Giri"_s, u"giri -1"_s, u"partenza anticipata"_s}));
        const auto campionato = leggiCsv(b.file(u"serata-campionato.csv"_s));
        QCOMPARE(campionato.value(0), (QStringList{"Posizione", "Pilota", "Prima serata", "Totale", "Vittorie", "Spareggio"}));
        QCOMPARE(campionato.size(), 3); // the two who raced the heat

        b.dialogo.risposte = {b.file(u"serata.xlsx"_s)};
        QCOMPARE(EsportazioneGara(b.percorso, b.messaggi, b.dialogo).esportaExcel(b.gara), EsitoEsportazione::Esportato);
        const QJsonObject x = leggiXlsx(lettoreXlsx, b.file(u"serata.xlsx"_s));
        QVERIFY2(!x.isEmpty(), "python3-openpyxl reads the workbook");
        QCOMPARE(x.keys(), (QStringList{"Campionato", "Manche", "Registro", "Risultato"}));
        const QJsonArray righeRisultato = x[u"Risultato"_s].toArray();
        QCOMPARE(righeRisultato.size(), 5);
        for (const QJsonValue &riga : righeRisultato) {
            if (riga.toArray()[1].toString() != u"Alfa"_s) continue;
            QCOMPARE(riga.toArray()[4].toDouble(), 1.0);  // laps as a number
            QCOMPARE(riga.toArray()[6].toObject()[u"durata"_s].toDouble(), 10.0);
        }
        QCOMPARE(x[u"Manche"_s].toArray().size(), 3);
        QCOMPARE(x[u"Registro"_s].toArray()[1].toArray()[5].toInt(), -1);
    }
};

QTEST_MAIN(TstGaraUscite)
#include "tst_garauscite.moc"

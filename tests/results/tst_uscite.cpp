// What goes out of the program, read back: the printed report and its PDF, the CSV export (every value, awkward
// names, laps waiting for the writer, failures that leave no file), the Excel workbook, the question before a replace.
#include "database/archivioasincrono.h"
#include "archiviodiretto.h"
#include "databaseprova.h"
#include "dialogofilefinto.h"
#include "results/esportazionecsv.h"
#include "results/esportazioneexcel.h"
#include "timing/tempotesto.h"
#include "results/stampa.h"
#include "results/superficiestampa.h"
#include "vfsprova.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using Voci = QVector<VoceStampa>;
using Record = QList<QStringList>;

namespace {
const QString piede(117, '-'), riga(122, '-'), giro(131, '-');
const QString crediti = u"SaettinoPro 0.70 Beta  -  cronometraggio giri del gruppo SaettinoPro"_s;

VoceStampa voce(const QString &testo, double x, double y, double punti = 10, bool grassetto = false, int pagina = 0)
{
    return {x, y, punti, grassetto, pagina, testo};
}
// The first expected item the layout lacks (same text, place, size, weight and page), or "".
QString manca(const Voci &voci, const Voci &attese)
{
    for (const auto &e : attese)
        if (std::none_of(voci.begin(), voci.end(), [&](const VoceStampa &v) {
                return v.testo == e.testo && v.pagina == e.pagina && qAbs(v.x - e.x) < 1e-9
                    && qAbs(v.y - e.y) < 1e-9 && v.punti == e.punti && v.grassetto == e.grassetto;
            }))
            return u"'%1' p%2 (%3, %4) %5pt"_s.arg(e.testo).arg(e.pagina).arg(e.x).arg(e.y).arg(e.punti);
    return {};
}
Voci di(const Voci &voci, auto filtro)
{
    Voci r;
    std::copy_if(voci.begin(), voci.end(), std::back_inserter(r), filtro);
    return r;
}
int quante(const Voci &voci, const QString &t) { return di(voci, [&](auto &v) { return v.testo == t; }).size(); }
int pagine(const Voci &voci) { return voci.isEmpty() ? 0 : voci.last().pagina + 1; }

// The printable height of the PDF file: A4 with its margins.
double a4() { return FilePdf(QString()).altezzaPagina(); }
Voci componi(const DatiStampa &d, double altezza = a4()) { return LayoutStampa::componi(d, altezza); }

// Standings of the given drivers with `giri` laps each, lap texts "<name>-<k>".
DatiStampa sessione(const QStringList &nomi, const QList<int> &giri)
{
    DatiStampa d;
    for (int i = 0; i < nomi.size(); ++i) {
        d.classifica.append({nomi[i], giri[i], u"tot%1"_s.arg(i)});
        for (int k = 1; k <= giri[i]; ++k) d.sunto.append({nomi[i], u"%1-%2"_s.arg(nomi[i]).arg(k)});
    }
    return d;
}

// What a printer gets is kept.
struct Registro : SuperficieStampa {
    QVector<Voci> &lavori;
    double altezza;
    Registro(QVector<Voci> &l, double a) : lavori(l), altezza(a) {}
    double altezzaPagina() override { return altezza; }
    bool stampa(const Voci &voci, QString *) override { return lavori.append(voci), true; }
};

// What a text cell must read once it has been defused.
QString comeTesto(const QString &t)
{
    return !t.isEmpty() && QStringView(u"=+-@\t\r").contains(t.front()) ? u"'"_s + t : t;
}

const QStringList nomi{u"Alfa"_s, u"Rossi; Mario"_s, u"Il \"Fulmine\""_s, u"Riga\r\nDue"_s, u"=1+2"_s,
                       u"+39 333"_s, u"-Meno"_s, u"@SOMMA(A1)"_s, u"\tTab"_s, u"\rRitorno"_s, u"Zoë Ç'è"_s};

// The print command and the exports on a real database, with or without a printer; files are written for real.
struct Banco : DatabaseProva, Stampanti {
    bool conStampante = true;
    double altezza = a4();
    QVector<Voci> stampati;
    DialogoFileFinto dialogo;
    Stampa stampa{percorso, messaggi, dialogo, *this};
    bool disponibile() override { return conStampante; }
    std::unique_ptr<SuperficieStampa> predefinita() override { return std::make_unique<Registro>(stampati, altezza); }
    std::unique_ptr<SuperficieStampa> pdf(const QString &file) override { return std::make_unique<FilePdf>(file); }
    EsportazioneCsv::Esito esporta(const QString &nome, ArchivioAsincrono *archivio = nullptr)
    {
        dialogo.risposte = {nome};
        return EsportazioneCsv(percorso, messaggi, dialogo, archivio).esporta();
    }
    EsitoEsportazione esportaExcel(const QString &nome)
    {
        dialogo.risposte = {nome};
        return EsportazioneExcel(percorso, messaggi, dialogo).esporta();
    }
    QStringList files() const { return QDir(cartella.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }
    // The messages that were not a question.
    QList<MessaggiFinti::Mostrato> avvisi() const
    {
        QList<MessaggiFinti::Mostrato> a;
        for (const auto &m : messaggi.mostrati)
            if (m.pulsanti != Messaggi::Pulsanti::SiNo) a.append(m);
        return a;
    }
};

// The workbook as python3-openpyxl reads it: per sheet the frozen cell and every cell's type, value
// and number format (durations as seconds, dates and times as ISO texts); then the document's title.
const char *const lettoreXlsx = R"py(
import datetime, json, re, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
def valore(v):
    if isinstance(v, datetime.timedelta): return {"durata": v.total_seconds()}
    if isinstance(v, (datetime.datetime, datetime.date, datetime.time)): return {"iso": v.isoformat()}
    if isinstance(v, str): return re.sub("_x([0-9A-Fa-f]{4})_", lambda m: chr(int(m.group(1), 16)), v)
    return v
fogli = {}
for ws in wb.worksheets:
    fogli[ws.title] = {
        "ferma": ws.freeze_panes,
        "righe": [[{"tipo": c.data_type, "valore": valore(c.value), "formato": c.number_format} for c in riga]
                  for riga in ws.iter_rows()]}
print(json.dumps({"fogli": fogli, "ordine": wb.sheetnames, "titolo": wb.properties.title}))
)py";

// The milliseconds a time text shows ("75:12,345" -> 4512345).
qint64 millisecondi(const QString &testo)
{
    const auto m = QRegularExpression(uR"(^(\d+):(\d\d),(\d\d\d)$)"_s).match(testo);
    return m.hasMatch() ? m.captured(1).toLongLong() * 60000 + m.captured(2).toLongLong() * 1000 + m.captured(3).toLongLong() : -1;
}
QJsonObject cella(const QString &tipo, const QJsonValue &valore, const QString &formato = u"General"_s)
{
    return {{u"tipo"_s, tipo}, {u"valore"_s, valore}, {u"formato"_s, formato}};
}
QJsonObject durata(qint64 ms) { return cella(u"d"_s, QJsonObject{{u"durata"_s, double(ms) / 1000.0}}, u"[mm]:ss.000"_s); }
// Equal JSON, numbers within a microsecond (durations come back through microseconds).
bool uguali(const QJsonValue &a, const QJsonValue &b)
{
    if (a.isDouble() && b.isDouble()) return qAbs(a.toDouble() - b.toDouble()) <= 1e-6 * qMax(1.0, qAbs(b.toDouble()));
    if (a.isObject() && b.isObject()) {
        const QJsonObject x = a.toObject(), y = b.toObject();
        if (x.keys() != y.keys()) return false;
        for (const QString &k : x.keys())
            if (!uguali(x[k], y[k])) return false;
        return true;
    }
    if (a.isArray() && b.isArray()) {
        const QJsonArray x = a.toArray(), y = b.toArray();
        if (x.size() != y.size()) return false;
        for (qsizetype i = 0; i < x.size(); ++i)
            if (!uguali(x[i], y[i])) return false;
        return true;
    }
    return a == b;
}
QString json(const QJsonValue &v) { return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)); }
} // namespace

class TestUscite : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { vfsprova::installa(); }

    void blocchiEPosizioni()
    {
        DatiStampa d = sessione({"Nove", "Otto", "Sette"}, {9, 8, 7});
        d.migliore = GiroMigliore{u"Otto"_s, 3, u"00:41,250"_s};
        d.sunto.prepend({u"nove"_s, u"minuscolo"_s}); // another driver: case counts
        const auto voci = componi(d);
        Voci attese = {
            voce("SaettinoPro 0.70 Beta  -  Stampa dei Tempi ", 4, 1, 16, true), voce(QString(66, '-'), 4, 1.3, 16, true),
            voce("Pilota", 3.8, 3, 13.5, true), voce("Best Lap", 9, 3, 13.5, true), voce("Tempo", 14, 3, 13.5, true),
            // Numbers print with a leading blank, texts as they are.
            voce("Otto", 4, 3.8), voce(" 3", 9, 3.8), voce("00:41,250", 14.5, 3.8), voce(QString(101, '-'), 4, 4),
            voce("Classifica Finale", 3, 4.8, 13.5, true), voce("Posizione", 3, 5.3, 13.5, true),
            voce("Pilota", 6.8, 5.3, 13.5, true), voce("Giri Complessivi", 9.5, 5.3, 13.5, true),
            voce("Tempo Totale", 14.7, 5.3, 13.5, true), voce(" 1", 4, 6.1), voce("Nove", 7.2, 6.1), voce(" 9", 11.3, 6.1),
            voce("tot0", 15.5, 6.1), voce(riga, 3, 6.3), voce(" 3", 4, 7.1), voce("Sette", 7.2, 7.1), voce(" 7", 11.3, 7.1),
            voce("tot2", 15.5, 7.1), voce(riga, 3, 7.3), voce("Tempi Totali", 2, 8.5, 13.5, true),
            // The first name takes the heading's size, later ones the laps' size.
            voce("Nove", 3.8, 9.1, 13.5, true), voce("Otto", 3.8, 11.9, 10, true), voce("Sette", 3.8, 14.7, 10, true),
            // The ninth lap starts a row 0.5 cm lower; eight laps move the line down, seven do not.
            voce("Nove-9", 2, 10.4), voce(giro, 2, 10.6), voce("Otto-8", 16, 12.7), voce("Sette-7", 14, 15.5),
            voce(piede, 3.4, 19, 10, true), voce(crediti, 3.5, 19.5, 10, true)};
        for (int k = 1; k <= 8; ++k) attese.append(voce(u"Nove-%1"_s.arg(k), 2.0 * k, 9.9));
        QCOMPARE(manca(voci, attese), QString());
        QVERIFY(quante(voci, "minuscolo") == 0 && pagine(voci) == 1);
    }

    void cambiDiPagina()
    {
        // The third driver's second row lands exactly on 23 cm: no break.
        const auto esatto = componi(sessione({"A", "B", "C"}, {64, 64, 9}));
        QCOMPARE(pagine(esatto), 1);
        QCOMPARE(manca(esatto, {voce("C-9", 2, 23)}), QString());
        // Past 23 after the 16th lap: footer, new page, heading again, C from its name.
        const auto oltre = componi(sessione({"A", "B", "C"}, {64, 64, 16}));
        QVERIFY(pagine(oltre) == 2 && quante(oltre, piede) == 2);
        QCOMPARE(manca(oltre, {voce("C-16", 16, 23), voce(piede, 3.4, 25.5, 10, true), voce("Tempi Totali", 2, 0.9, 13.5, true, 1),
                               voce("C", 3.8, 1.5, 13.5, true, 1), voce("C-16", 16, 2.8, 10, false, 1)}), QString());
        // Restarting a block that cannot fit a page would never end: it goes on instead.
        const auto voci = componi(sessione({"Maratona", "Dopo"}, {1000, 2}));
        auto giri = di(voci, [](auto &v) { return v.testo.startsWith("Maratona-"); });
        giri = giri.mid(di(giri, [](auto &v) { return v.pagina == 0; }).size()); // page 1's part prints again once
        QCOMPARE(giri.size(), 1000);
        for (int k = 0; k < 1000; ++k) QVERIFY(giri[k].testo == u"Maratona-%1"_s.arg(k + 1) && giri[k].y <= 23.0);
        QVERIFY(giri.last().pagina >= 3 && quante(voci, piede) == pagine(voci));
        QCOMPARE(quante(voci, "Maratona"), 2 + giri.last().pagina); // in the standings, then atop every page
        QCOMPARE(di(voci, [](auto &v) { return v.testo == "Dopo-2"; }).value(0).pagina, pagine(voci) - 1);
        // A long standings list breaks only before the first line that would not fit the page: nothing
        // leaves the page, A4 holds 40 lines and more, 5 cm more hold 10 more. It goes on over the
        // pages with its heads; positions run on.
        QStringList piloti;
        for (int i = 1; i <= 80; ++i) piloti.append(u"P%1"_s.arg(i));
        auto primaPagina = [&](double altezza) {
            const auto voci = componi(sessione(piloti, QList<int>(80, 1)), altezza);
            const auto fuori = di(voci, [&](auto &v) { return v.y + v.punti / 72 * 2.54 > altezza; });
            const auto righe = di(voci, [](auto &v) { return v.testo == riga && v.pagina == 0; });
            const auto piedi = di(voci, [](auto &v) { return v.testo == piede && v.pagina == 0; });
            return fuori.isEmpty() && piedi.value(0).y > righe.last().y + 0.4 ? righe.size() : -1;
        };
        QVERIFY(primaPagina(a4()) >= 40);
        QCOMPARE(primaPagina(a4() + 5) - primaPagina(a4()), 10);
        const auto lunga = componi(sessione(piloti, QList<int>(80, 1)));
        QCOMPARE(quante(lunga, riga), 80);
        const auto seconda = di(lunga, [](auto &v) { return v.pagina == 1; });
        QVERIFY(quante(seconda, "Posizione") && quante(seconda, "Classifica Finale") && quante(lunga, " 80"));
    }

    void comandoStampa()
    {
        Banco b;
        // No lap stored, a printer: at once the heads, the rules and the footer, no data line.
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::Stampato);
        QCOMPARE(manca(b.stampati.value(0), {voce(QString(101, '-'), 4, 4), voce("Posizione", 3, 5.3, 13.5, true),
                                       voce("Tempi Totali", 2, 7, 13.5, true), voce(piede, 3.4, 9.6, 13.5, true)}),
                 QString());
        QVERIFY(b.messaggi.mostrati.isEmpty() && b.dialogo.richieste.isEmpty());
        // No printer: declined, nothing; accepted, a PDF whose footer rule is read back at its place and size; a missing folder, an error.
        b.conStampante = false;
        using enum Messaggi::Risposta;
        b.messaggi.risposte = {No, Si, Si};
        b.dialogo.risposte = {b.file(u"stampa.pdf"_s), b.file(u"manca/stampa.pdf"_s)};
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::Annullato);
        QVERIFY(b.dialogo.richieste.isEmpty() && b.messaggi.mostrati[0].pulsanti == Messaggi::Pulsanti::SiNo);
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::SalvatoPdf);
        QProcess testo;
        testo.start(u"pdftotext"_s, {u"-bbox"_s, b.file(u"stampa.pdf"_s), u"-"_s});
        QVERIFY2(testo.waitForFinished(60000) && testo.exitCode() == 0, "pdftotext (poppler-utils) reads the PDF back");
        const auto regola = QRegularExpression(uR"re(xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">-{102,}<)re"_s)
                                .match(QString::fromUtf8(testo.readAllStandardOutput()));
        const double pt = 72.0 / 2.54, alto = regola.captured(3).toDouble() - regola.captured(2).toDouble();
        QVERIFY2(qAbs(regola.captured(1).toDouble() - 3.9 * pt) < 1 && qAbs(regola.captured(2).toDouble() - 10.1 * pt) < 1
                     && alto > 13.5 * 0.9 && alto < 13.5 * 1.4, qPrintable(regola.captured()));
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::Errore);
        QVERIFY(b.messaggi.ultimo().contains(u"PDF"_s) && b.stampati.size() == 1);
        const auto &r = b.dialogo.richieste;
        QVERIFY(r.size() == 2 && r[0].salvataggio && r[0].titolo == "Salva stampa" && r[0].filtro == "PDF|*.pdf");
        // The fastest lap, the standings and each driver's laps, read from the database.
        b.conStampante = true;
        for (const auto &[pilota, n, tempo] : QList<std::tuple<const char *, int, float>>{
                 {"Lento", 1, 50}, {"Veloce", 1, 41}, {"Veloce", 2, 39.5f}, {"Lento", 2, 52}, {"Veloce", 3, 40}})
            b.segna(pilota, n, tempo);
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::Stampato);
        const auto voci = b.stampati.value(1);
        QCOMPARE(manca(voci, {voce("Veloce", 4, 3.8), voce(" 2", 9, 3.8), voce("Veloce/2", 14.5, 3.8), voce(" 3", 11.3, 6.1),
                              voce("02:00,500", 15.5, 6.1), voce("Lento", 7.2, 6.6), voce("01:42,000", 15.5, 6.6),
                              voce("Veloce/1", 2, 9.4), voce("Veloce/3", 6, 9.4), voce("Lento/1", 2, 11.7)}), QString());
        // The layout takes the printer's page: on a short one the standings break sooner.
        b.altezza = 6.9;
        QCOMPARE(b.stampa.stampa(), Stampa::Esito::Stampato);
        QCOMPARE(di(b.stampati.last(), [](auto &v) { return v.testo == "Lento"; }).value(0).pagina, 1);
    }

    void giriEClassificaRiletti()
    {
        Banco b;
        float t = 83.456f;
        for (int giro = 1; giro <= 3; ++giro)
            for (const QString &nome : nomi) b.segna(nome, giro, t += 1.375f);
        QCOMPARE(b.esporta(b.file(u"gara"_s)), EsportazioneCsv::Esito::Esportato);
        const auto &r = b.dialogo.richieste;
        QVERIFY(r.size() == 1 && r[0].salvataggio && r[0].titolo == u"Esporta tempi"_s && r[0].filtro == u"File CSV|*.csv"_s);
        QCOMPARE(b.files(), (QStringList{u"gara-classifica.csv"_s, u"gara.csv"_s, u"saettinopro.mb"_s}));

        Record attese{{u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Data"_s, u"Ora"_s, u"Pista"_s}};
        QList<float> secondi;
        for (Istruzione q = b.db.prepara("SELECT pilota, giroN, Tempo, tempoGiro, Data, ora, pista FROM Giri ORDER BY id");
             q.passo();) {
            attese.append({comeTesto(q.testo(0)), q.testo(1), comeTesto(q.testo(2)), {}, q.testo(4), q.testo(5), q.testo(6)});
            secondi.append(float(q.reale(3)));
        }
        Record giri = leggiCsv(b.file(u"gara.csv"_s));
        QCOMPARE(giri.size(), 34);
        // Seconds with a decimal comma, reading back as the very lap time stored.
        for (int i = 1; i < giri.size(); ++i) {
            QString s = std::exchange(giri[i][3], {});
            QVERIFY2(!s.contains(u'.') && s.replace(u',', u'.').toFloat() == secondi[i - 1], qPrintable(s));
        }
        QCOMPARE(giri, attese);

        Record classifica{{u"Posizione"_s, u"Pilota"_s, u"Giri"_s, u"TempoTotale"_s}};
        for (Istruzione q = b.db.prepara("SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid"); q.passo();)
            classifica.append({QString::number(classifica.size()), comeTesto(q.testo(0)), q.testo(1), q.testo(2)});
        QCOMPARE(classifica.size(), nomi.size() + 1);
        QCOMPARE(leggiCsv(b.file(u"gara-classifica.csv"_s)), classifica);
    }

    // Laps handed to the writer just before the export are in the file.
    void giriInAttesaDelloScrittore()
    {
        Banco b;
        ArchivioAsincrono archivio(b.db, b.percorso, b.messaggi);
        vfsprova::ritardoCommit(150);
        for (int n = 1; n <= 3; ++n) archivio.memorizza({u"Alfa"_s, n, 30.5f, u"00:30,500"_s, u"Pista"_s, {}});
        QCOMPARE(b.esporta(b.file(u"a.csv"_s), &archivio), EsportazioneCsv::Esito::Esportato);
        vfsprova::ritardoCommit(0);
        QCOMPARE(leggiCsv(b.file(u"a.csv"_s)).size(), 4);
        QVERIFY(b.messaggi.mostrati.isEmpty());
    }

    void esportazioneFallitaNonLasciaFile_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("cartella mancante") << "cartella" << "la cartella";
        QTest::newRow("classifica bloccata da una cartella") << "bloccata" << "esiste una cartella con lo stesso nome";
        QTest::newRow("disco pieno") << "pieno" << "il disco potrebbe essere pieno";
        QTest::newRow("collegamento a /dev/full") << "dispositivo" << "gara-full.csv: non è un file normale ma un dispositivo.";
    }
    void esportazioneFallitaNonLasciaFile()
    {
        QFETCH(QString, caso);
        QFETCH(QString, motivo);
        Banco b;
        for (const QString &pilota : nomi) b.segna(pilota, 1, 30.0f);
        // An earlier export of the same name stays as it was.
        QVERIFY(scriviFile(b.file(u"gara.csv"_s), "vecchio"));
        QString nome = b.file(u"gara.csv"_s);
        if (caso == u"cartella") nome = b.file(u"manca/gara.csv"_s);
        if (caso == u"bloccata") QVERIFY(QDir(b.cartella.path()).mkdir(u"gara-classifica.csv"_s));
        if (caso == u"dispositivo") QVERIFY(QFile::link(u"/dev/full"_s, nome = b.file(u"gara-full.csv"_s)));
        const QStringList prima = b.files();
        rlimit limite{}, ridotto{};
        getrlimit(RLIMIT_FSIZE, &limite);
        if (caso == u"pieno") {
            // The files may grow to 256 bytes here and no further: the writes past that fail.
            std::signal(SIGXFSZ, SIG_IGN);
            ridotto = {256, limite.rlim_max};
            setrlimit(RLIMIT_FSIZE, &ridotto);
        }
        const auto esito = b.esporta(nome);
        setrlimit(RLIMIT_FSIZE, &limite);
        QCOMPARE(esito, EsportazioneCsv::Esito::Errore);
        QCOMPARE(b.avvisi().size(), 1); // besides the questions about the files there
        const QString testo = b.messaggi.ultimo();
        QVERIFY2(testo.startsWith(u"Esportazione non riuscita. Impossibile scrivere il file "_s) && testo.contains(motivo)
                     && testo.endsWith(u"\nNessun file è stato scritto."_s), qPrintable(testo));
        QCOMPARE(b.files(), prima);
        QCOMPARE(contenuto(b.file(u"gara.csv"_s)), "vecchio");
        QVERIFY(!QFileInfo(u"/dev/full"_s).isFile()); // the device is still a device, even for root
    }

    // Every cell typed as a spreadsheet needs it, read back by python3-openpyxl.
    void cartellaDiLavoroRiletta()
    {
        Banco b;
        // Awkward names with times of day stored without leading zeros ("9:6:0"); a total past the hour (75:12,345).
        QHash<QPair<QString, int>, double> decimali; // the seconds as typed here
        const auto segna = [&](const QString &pilota, int n, double secondi, QTime ora) {
            decimali[{pilota, n}] = secondi;
            const float f = float(secondi);
            ArchivioDiretto::memorizza(b.db, {pilota, n, f, testoTempo(f), u"Pista Nord"_s,
                                              QDateTime(QDate(2026, 12, 6), ora)});
        };
        for (int giro = 1; giro <= 2; ++giro)
            for (int i = 0; i < nomi.size(); ++i) segna(nomi[i], giro, 58.831 + 1.25 * i + giro, QTime(9, 5 + giro, i));
        segna(u"Lungo"_s, 1, 3000, QTime(23, 59, 59));
        segna(u"Lungo"_s, 2, 1512.3451, QTime(0, 0, 1));
        QCOMPARE(b.esportaExcel(b.file(u"gara"_s)), EsitoEsportazione::Esportato);
        const auto &r = b.dialogo.richieste;
        QVERIFY(r.size() == 1 && r[0].salvataggio && r[0].titolo == u"Esporta tempi per Excel"_s
                && r[0].filtro == u"Cartella di lavoro Excel|*.xlsx"_s);
        QCOMPARE(b.files(), (QStringList{u"gara.xlsx"_s, u"saettinopro.mb"_s}));
        QVERIFY(b.messaggi.mostrati.isEmpty());

        // Left for scripts/verifica-calc.sh, which opens it in a spreadsheet under two languages.
        QDir().mkpath(u"uscita-prova"_s);
        QFile::remove(u"uscita-prova/tempi.xlsx"_s);
        QVERIFY(QFile::copy(b.file(u"gara.xlsx"_s), u"uscita-prova/tempi.xlsx"_s));
        const QJsonObject letto = leggiXlsx(lettoreXlsx, b.file(u"gara.xlsx"_s));
        QVERIFY2(!letto.isEmpty(), "python3-openpyxl reads the workbook");
        QCOMPARE(letto[u"ordine"_s].toArray(), (QJsonArray{u"Giri"_s, u"Classifica"_s, u"Giri veloci"_s}));
        const auto testo = [](const QString &t) { return cella(u"s"_s, t); };
        const auto intero = [](qint64 n) { return cella(u"n"_s, n, u"0"_s); };
        const auto secondi = [](double s) { return cella(u"n"_s, s, u"0.000"_s); };
        const auto intestazioni = [&](const QStringList &nomi) {
            QJsonArray riga;
            for (const QString &n : nomi) riga.append(testo(n));
            return riga;
        };
        QHash<QString, QList<QJsonArray>> attesi;
        auto &giri = attesi[u"Giri"_s];
        giri.append(intestazioni({u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Data"_s, u"Ora"_s, u"Pista"_s}));
        for (Istruzione q = b.db.prepara("SELECT pilota, giroN, Tempo, Data, ora, pista FROM Giri ORDER BY id"); q.passo();) {
            const QTime ora = QTime::fromString(q.testo(4), u"H:m:s"_s);
            giri.append(QJsonArray{testo(q.testo(0)), intero(q.intero(1)), durata(millisecondi(q.testo(2))),
                                   secondi(decimali[{q.testo(0), int(q.intero(1))}]),
                                   cella(u"d"_s, QJsonObject{{u"iso"_s, u"2026-12-06T00:00:00"_s}}, u"dd/mm/yyyy"_s),
                                   cella(u"d"_s, QJsonObject{{u"iso"_s, ora.toString(u"HH:mm:ss"_s)}}, u"hh:mm:ss"_s),
                                   testo(q.testo(5))});
        }
        auto &classifica = attesi[u"Classifica"_s];
        classifica.append(intestazioni({u"Posizione"_s, u"Pilota"_s, u"Giri"_s, u"TempoTotale"_s}));
        for (Istruzione q = b.db.prepara("SELECT Pilota, Giri, TempoTotale FROM TempoTotale ORDER BY rowid"); q.passo();)
            classifica.append(QJsonArray{intero(classifica.size()), testo(q.testo(0)), intero(q.intero(1)),
                                         durata(millisecondi(q.testo(2)))});
        auto &veloci = attesi[u"Giri veloci"_s];
        veloci.append(intestazioni({u"Posizione"_s, u"Pilota"_s, u"Giro"_s, u"Tempo"_s, u"Secondi"_s, u"Pista"_s}));
        for (Istruzione q = b.db.prepara("SELECT Pilota, Giro, Tempo, Pista FROM Sunto2"); q.passo();)
            veloci.append(QJsonArray{intero(veloci.size()), testo(q.testo(0)), intero(q.intero(1)),
                                     durata(millisecondi(q.testo(2))), secondi(decimali[{q.testo(0), int(q.intero(1))}]),
                                     testo(q.testo(3))});
        QCOMPARE(giri.size(), 2 * nomi.size() + 3);
        QCOMPARE(veloci.size(), 6);
        QVERIFY(classifica.contains(QJsonArray{intero(classifica.size() - 1), testo(u"Lungo"_s), intero(2), durata(4512345)}));

        for (const QString &nome : {u"Giri"_s, u"Classifica"_s, u"Giri veloci"_s}) {
            const QJsonObject foglio = letto[u"fogli"_s][nome].toObject();
            QCOMPARE(foglio[u"ferma"_s].toString(), u"A2"_s); // the header row stays in view
            const QJsonArray righe = foglio[u"righe"_s].toArray();
            QCOMPARE(righe.size(), attesi[nome].size());
            for (qsizetype i = 0; i < righe.size(); ++i)
                QVERIFY2(uguali(righe[i], attesi[nome][i]), qPrintable(nome + u" "_s + json(righe[i]) + u"\n  != "_s + json(attesi[nome][i])));
        }
        // The track of the export.
        QCOMPARE(letto[u"titolo"_s].toString(), u"Tempi - Pista Nord"_s);
    }

    // Save, both exports and the PDF report ask before replacing a file, with No as the default;
    // "No" leaves the file as it was, "Sì" replaces it. The report adds ".pdf" to a bare name only.
    void sostituzioneChiesta_data()
    {
        QTest::addColumn<QString>("uscita");
        QTest::addColumn<QString>("digitato");
        QTest::addColumn<QString>("esistente");
        QTest::newRow("CSV, i giri") << "csv" << "gara" << "gara.csv";
        QTest::newRow("CSV, la classifica") << "csv" << "gara.csv" << "gara-classifica.csv";
        QTest::newRow("Excel") << "excel" << "gara" << "gara.xlsx";
        QTest::newRow("PDF senza estensione") << "pdf" << "stampa" << "stampa.pdf";
        QTest::newRow("PDF con un'altra estensione") << "pdf" << "stampa.txt" << "stampa.txt";
    }
    void sostituzioneChiesta()
    {
        QFETCH(QString, uscita);
        QFETCH(QString, digitato);
        QFETCH(QString, esistente);
        Banco b;
        b.conStampante = false;
        b.segna(u"Alfa"_s, 1, 30.5f);
        QVERIFY(scriviFile(b.file(esistente), "vecchio"));
        using enum Messaggi::Risposta;
        const auto esegui = [&](Messaggi::Risposta risposta) {
            b.messaggi.mostrati.clear();
            b.messaggi.risposte = uscita == u"pdf" ? QList{Si, risposta} : QList{risposta};
            b.dialogo.risposte = {b.file(digitato)};
            if (uscita == u"pdf") return b.stampa.stampa() == Stampa::Esito::SalvatoPdf;
            return (uscita == u"csv" ? b.esporta(b.file(digitato)) : b.esportaExcel(b.file(digitato))) == EsitoEsportazione::Esportato;
        };
        QVERIFY(!esegui(No));
        QCOMPARE(contenuto(b.file(esistente)), QByteArray("vecchio"));
        const auto domanda = b.messaggi.mostrati.last();
        QCOMPARE(domanda.testo, u"Il file %1 esiste già. Sostituirlo?"_s.arg(esistente));
        QVERIFY(domanda.pulsanti == Messaggi::Pulsanti::SiNo && domanda.predefinito == 1 && b.avvisi().isEmpty());
        QVERIFY(esegui(Si));
        const QByteArray nuovo = contenuto(b.file(esistente));
        QVERIFY2(uscita == u"pdf" ? nuovo.startsWith("%PDF") : uscita == u"excel" ? nuovo.startsWith("PK") : nuovo.contains("Alfa"),
                 nuovo.left(20).constData());
        // Free names are written without a question.
        for (const QString &f : b.files())
            if (f != QString::fromUtf8(identita::fileDatabase)) QVERIFY(QFile::remove(b.file(f)));
        QVERIFY(esegui(No) && QFileInfo::exists(b.file(esistente)));
        QVERIFY(std::none_of(b.messaggi.mostrati.begin(), b.messaggi.mostrati.end(),
                             [](const auto &m) { return m.testo.contains(u"esiste già"_s); }));
    }
};

QTEST_MAIN(TestUscite)
#include "tst_uscite.moc"

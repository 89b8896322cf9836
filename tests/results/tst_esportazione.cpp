// The CSV export read back with a reader of the test's own (RFC 4180 with
// semicolons and CRLF): every value of every lap and of the standings, names
// that need quotes or would run as formulas, laps still waiting for the
// writer, and failures that leave no file behind.
#include "database/archivioasincrono.h"
#include "databaseprova.h"
#include "dialogofilefinto.h"
#include "results/esportazionecsv.h"
#include "timing/tempotesto.h"
#include "vfsprova.h"

#include <QtTest>
#include <csignal>
#include <sqlcipher/sqlite3.h>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using Record = QList<QStringList>;

namespace {

// The records of a file: a byte-order mark, then fields quoted or bare, each
// closed by a semicolon or CRLF. Anything else (a bare CR or LF, a stray
// quote, a last record without CRLF) is reported where it stands.
Record leggiFile(const QString &nome)
{
    static const QRegularExpression campo(uR"re(\G(?:"((?:[^"]|"")*)"|([^;"\r\n]*))(;|\r\n))re"_s);
    const QByteArray dati = contenuto(nome);
    if (!dati.startsWith("\xEF\xBB\xBF")) return {{u"senza BOM"_s}};
    const QString testo = QString::fromUtf8(dati.mid(3));
    Record record{{}};
    qsizetype letti = 0;
    for (auto it = campo.globalMatch(testo); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        record.last() << (m.capturedStart(1) >= 0 ? m.captured(1).replace(u"\"\""_s, u"\""_s) : m.captured(2));
        if (m.captured(3) == u"\r\n") record.append(QStringList());
        letti = m.capturedEnd();
    }
    if (letti < testo.size()) return {{u"fuori posto alla posizione %1"_s.arg(letti)}};
    record.removeLast(); // the empty one after the last CRLF
    return record;
}

// What a text cell must read once it has been defused.
QString comeTesto(const QString &t)
{
    return !t.isEmpty() && QStringView(u"=+-@\t\r").contains(t.front()) ? u"'"_s + t : t;
}

const QStringList nomi{u"Alfa"_s, u"Rossi; Mario"_s, u"Il \"Fulmine\""_s, u"Riga\r\nDue"_s, u"=1+2"_s,
                       u"+39 333"_s, u"-Meno"_s, u"@SOMMA(A1)"_s, u"\tTab"_s, u"\rRitorno"_s, u"Zoë Ç'è"_s};

struct Banco : DatabaseProva {
    DialogoFileFinto dialogo;
    EsportazioneCsv::Esito esporta(const QString &nome, ArchivioAsincrono *archivio = nullptr)
    {
        dialogo.risposte = {nome};
        return EsportazioneCsv(percorso, messaggi, dialogo, archivio).esporta();
    }
    QStringList files() const { return QDir(cartella.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot); }
};

} // namespace

class TestEsportazione : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { vfsprova::installa(); }

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
        Record giri = leggiFile(b.file(u"gara.csv"_s));
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
        QCOMPARE(leggiFile(b.file(u"gara-classifica.csv"_s)), classifica);
    }

    // Laps handed to the writer just before the export are in the file; when the
    // disk refuses them, the file holds what is stored and the operator is told.
    void giriInAttesaDelloScrittore()
    {
        Banco b;
        ArchivioAsincrono archivio(b.db, b.percorso, b.messaggi);
        vfsprova::ritardoCommit(150);
        const QDateTime quando(QDate(2026, 12, 5), QTime(10, 0));
        for (int n = 1; n <= 3; ++n) archivio.memorizza({u"Alfa"_s, n, 30.5f, u"00:30,500"_s, u"Pista"_s, quando});
        QCOMPARE(b.esporta(b.file(u"a.csv"_s), &archivio), EsportazioneCsv::Esito::Esportato);
        vfsprova::ritardoCommit(0);
        QCOMPARE(leggiFile(b.file(u"a.csv"_s)).size(), 4);
        QVERIFY(b.messaggi.mostrati.isEmpty());
        vfsprova::guasto(SQLITE_FULL);
        archivio.memorizza({u"Alfa"_s, 4, 30.5f, u"00:30,500"_s, u"Pista"_s, quando});
        QCOMPARE(b.esporta(b.file(u"b.csv"_s), &archivio), EsportazioneCsv::Esito::Esportato);
        vfsprova::guasto(0);
        QCOMPARE(leggiFile(b.file(u"b.csv"_s)).size(), 4);
        QVERIFY2(b.messaggi.ultimo().contains(u"1 giri in attesa di salvataggio non sono nel file"_s), qPrintable(b.messaggi.ultimo()));
        QVERIFY(archivio.svuota());
    }

    void esportazioneFallitaNonLasciaFile_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("cartella mancante") << "cartella" << "la cartella";
        QTest::newRow("classifica bloccata da una cartella") << "bloccata" << "esiste una cartella con lo stesso nome";
        QTest::newRow("disco pieno") << "pieno" << "il disco potrebbe essere pieno";
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
        QCOMPARE(b.messaggi.mostrati.size(), 1);
        const QString testo = b.messaggi.ultimo();
        QVERIFY2(testo.startsWith(u"Esportazione non riuscita. Impossibile scrivere il file "_s) && testo.contains(motivo)
                     && testo.endsWith(u"\nNessun file è stato scritto."_s), qPrintable(testo));
        QCOMPARE(b.files(), prima);
        QCOMPARE(contenuto(b.file(u"gara.csv"_s)), "vecchio");
    }
};

QTEST_MAIN(TestEsportazione)
#include "tst_esportazione.moc"

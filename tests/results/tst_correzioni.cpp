// Race control's corrections from the driver times viewer, through the real lap
// writer on an encrypted file, while the session goes on timing laps.
#include "database/archivioasincrono.h"
#include "databaseprova.h"
#include "orologiomanuale.h"
#include "results/visualtempi.h"
#include "timing/globale.h"
#include "timing/sessione.h"
#include "timing/tempotesto.h"

#include <QtTest>
#include <ranges>

using namespace Qt::StringLiterals;

namespace {

// D'Angelo and Beta on track at "Pista Nord"; Beta has two laps of an earlier
// session at "Pista Sud", one faster than any of this session (so not in Tempofast).
// The viewer lists every driver ("*").
struct Banco : DatabaseProva {
    OrologioManuale orologio{100.0};
    ArchivioAsincrono archivio{db, percorso, messaggi};
    Sessione sessione{orologio, messaggi, archivio};
    TempiPiloti tempi{db, messaggi};

    Banco()
    {
        globale().nomePista = u"Pista Nord"_s;
        archivio.memorizza({u"Beta"_s, 1, 25.0f, testoTempo(25.0f), u"Pista Sud"_s, orologio.dataOra()});
        archivio.memorizza({u"Beta"_s, 2, 33.0f, testoTempo(33.0f), u"Pista Sud"_s, orologio.dataOra()});
        QVERIFY(archivio.svuota());
        sessione.impostaPilota(0, u"D'Angelo"_s);
        sessione.impostaPilota(1, u"Beta"_s);
        sessione.inizializza();
        sessione.start();
        tempi.impostaCorrezioni([this](const auto &lavoro, QString *e) { return archivio.esegui(lavoro, e); },
                                [this](const CorrezioneGiri &c) { sessione.applicaCorrezione(c); });
        for (double dopo : {30.0, 28.011, 31.0, 29.75, 32.125}) passa(0, dopo);
        passa(1, 9.114); // Beta's lap 3: 160 s from Start
        QVERIFY(archivio.svuota());
        tempi.caricatabella(u"*"_s);
    }
    void passa(int corsia, double dopo)
    {
        orologio.avanza(dopo);
        sessione.marca(corsia);
    }
    int riga(const QString &pilota, int giroN)
    {
        for (int r = 0; r < tempi.modello().rowCount(); ++r)
            if (tempi.modello().valore(r, 0) == pilota && tempi.modello().valore(r, 1).toInt() == giroN) return r;
        return -1;
    }
    // A driver's lap times as stored, and as the viewer shows them.
    QStringList tempiDi(const QString &pilota)
    {
        QStringList t;
        for (const QVariantList &r : righe("SELECT Tempo FROM Giri WHERE pilota = ? ORDER BY giroN", pilota)) t << r[0].toString();
        return t;
    }
    QStringList mostrati(const QString &pilota)
    {
        QStringList t;
        for (int r = 0; r < tempi.modello().rowCount(); ++r)
            if (tempi.modello().valore(r, 0) == pilota) t << tempi.modello().valore(r, 2).toString();
        return t;
    }
    // Every lane agrees with the file: lap count, this session's laps by number, last and best lap, fastest lap.
    void corsieComeIlFile()
    {
        for (int i = 0; i < sessione.numPiloti(); ++i) {
            const Sessione::Corsia &c = sessione.corsia(i);
            Righe tabella;
            for (int n = 0; n < c.tempiGiro.size(); ++n)
                if (c.tempiGiro[n] != 0) tabella.append({n, c.tempiGiro[n]});
            QCOMPARE(tabella, righe("SELECT giroN, tempoGiro FROM Giri WHERE pilota = ? AND pista = 'Pista Nord' ORDER BY giroN", c.nome));
            QCOMPARE(c.numGiri, righe("SELECT max(giroN) FROM Giri WHERE pilota = ?", c.nome)[0][0].toInt());
            QCOMPARE(c.tempolast, testoTempo(tabella.last()[1].toFloat()));
            const float migliore = std::ranges::min(c.tempiGiro | std::views::filter([](float t) { return t != 0; }));
            QVERIFY(c.migliorGiro == migliore && c.bestlapper == testoTempo(migliore));
        }
        QCOMPARE(sessione.giroVeloce(), righe("SELECT Tempo FROM Tempofast")[0][0].toFloat());
    }
    // Totals, standings and numbering as a full recomputation from Giri gives them.
    void fileCoerente()
    {
        QCOMPARE(righe("SELECT pilota, giri, totale FROM TotaliPiloti ORDER BY pilota"),
                 righe("SELECT pilota, count(*), total(tempoGiro) FROM Giri GROUP BY pilota ORDER BY pilota"));
        QCOMPARE(righe("SELECT * FROM TempoTotale ORDER BY rowid"),
                 righe("SELECT pilota, count(*), testoTempo(total(tempoGiro)) FROM Giri GROUP BY pilota "
                                "ORDER BY count(*) DESC, total(tempoGiro), pilota"));
        QCOMPARE(righe("SELECT pilota FROM Giri GROUP BY pilota HAVING count(DISTINCT giroN) != count(*) "
                                "OR max(giroN) != count(*)"), Righe{});
    }
};
} // namespace

class TestCorrezioni : public QObject {
    Q_OBJECT
private slots:
    void unisciEdElimina_data()
    {
        QTest::addColumn<bool>("unisci");
        QTest::addColumn<QString>("pilota");
        QTest::addColumn<int>("giro");
        QTest::addColumn<QString>("domanda"); // empty: not offered
        QTest::addColumn<QStringList>("dopo");  // the driver's laps afterwards, lap 6 (33.5 s) waiting for the writer
        QTest::addColumn<QString>("veloce");    // Tempofast afterwards
        const QString seguenti = u"\nI giri seguenti scalano di uno."_s;
        // 30 s + 28.011 s (shown 28,010) in single precision, as a lap of that length is timed: 58,011.
        QTest::newRow("unisci il primo") << true << u"D'Angelo"_s << 1
            << u"Unire il giro 1 di D'Angelo (00:30,000) al giro successivo (00:28,010)?\n"
               "Diventano un solo giro di 00:58,011 e i giri seguenti scalano di uno."_s
            << QStringList{"00:58,011", "00:31,000", "00:29,750", "00:32,125", "00:33,500"} << u"00:25,000"_s;
        QTest::newRow("unisci in mezzo") << true << u"D'Angelo"_s << 3
            << u"Unire il giro 3 di D'Angelo (00:31,000) al giro successivo (00:29,750)?\n"
               "Diventano un solo giro di 01:00,750 e i giri seguenti scalano di uno."_s
            << QStringList{"00:30,000", "00:28,010", "01:00,750", "00:32,125", "00:33,500"} << u"00:28,010"_s;
        QTest::newRow("l'ultimo non si unisce") << true << u"D'Angelo"_s << 5 << QString()
            << QStringList{"00:30,000", "00:28,010", "00:31,000", "00:29,750", "00:32,125", "00:33,500"} << u"00:28,010"_s;
        QTest::newRow("elimina il primo") << false << u"D'Angelo"_s << 1
            << u"Eliminare il giro 1 di D'Angelo (00:30,000)?"_s + seguenti
            << QStringList{"00:28,010", "00:31,000", "00:29,750", "00:32,125", "00:33,500"} << u"00:28,010"_s;
        QTest::newRow("elimina il più veloce") << false << u"D'Angelo"_s << 2
            << u"Eliminare il giro 2 di D'Angelo (00:28,010)?"_s + seguenti
            << QStringList{"00:30,000", "00:31,000", "00:29,750", "00:32,125", "00:33,500"} << u"00:25,000"_s;
        QTest::newRow("elimina l'ultimo mostrato") << false << u"D'Angelo"_s << 5
            << u"Eliminare il giro 5 di D'Angelo (00:32,125)?"_s
            << QStringList{"00:30,000", "00:28,010", "00:31,000", "00:29,750", "00:33,500"} << u"00:28,010"_s;
        QTest::newRow("elimina un giro di un'altra sessione") << false << u"Beta"_s << 1
            << u"Eliminare il giro 1 di Beta (00:25,000)?"_s + seguenti
            << QStringList{"00:33,000", "02:40,000"} << u"00:28,010"_s;
    }
    void unisciEdElimina()
    {
        QFETCH(bool, unisci);
        QFETCH(QString, pilota);
        QFETCH(int, giro);
        QFETCH(QString, domanda);
        QFETCH(QStringList, dopo);
        QFETCH(QString, veloce);
        Banco b;
        const int r = b.riga(pilota, giro);
        QCOMPARE(b.tempi.unibile(r), !(pilota == u"D'Angelo" && giro == 5));
        b.passa(0, 24.386); // D'Angelo's lap 6, 33.5 s: handed to the writer, not yet committed
        const double inCorso = b.sessione.corsia(0).ultimoPassaggio;
        const bool fatto = b.tempi.correggi(r, unisci ? correzioni::Tipo::Unisci : correzioni::Tipo::Elimina);
        QCOMPARE(fatto, !domanda.isEmpty());
        QCOMPARE(b.messaggi.ultimo(), domanda);
        if (fatto) QCOMPARE(b.messaggi.mostrati.last().pulsanti, Messaggi::Pulsanti::SiNo);
        QVERIFY(b.archivio.svuota());
        QCOMPARE(b.tempiDi(pilota), dopo);
        QCOMPARE(testoTempo(b.righe("SELECT Tempo FROM Tempofast")[0][0].toFloat()), veloce);
        b.fileCoerente();
        b.corsieComeIlFile();
        QCOMPARE(b.sessione.corsia(0).ultimoPassaggio, inCorso); // the lap in progress goes on
        // The viewer shows the corrected laps; timing goes on with the next numbers.
        if (fatto) QCOMPARE(b.mostrati(pilota), dopo);
        b.passa(0, 24.0);
        b.passa(1, 5.0);
        QVERIFY(b.archivio.svuota());
        QCOMPARE(b.tempiDi(u"D'Angelo"_s).size(), 6 - (fatto && pilota == u"D'Angelo" ? 1 : 0) + 1);
        b.fileCoerente();
        b.corsieComeIlFile();
        QCOMPARE(b.sessione.giroVeloce(), 24.0f);
        QCOMPARE(b.messaggi.mostrati.size(), fatto ? 1 : 0);
    }

    // A correction that cannot be made changes nothing, in the file or on the lanes, and says why.
    void nienteCambiaSeNonRiesce_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("errore del motore") << u"CREATE TRIGGER blocca BEFORE UPDATE OF giroN ON Giri BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"_s
                                           << u"Errore del database: disco pieno"_s;
        QTest::newRow("giro cambiato") << u"UPDATE Giri SET giroN = 7 WHERE giroN = 2 AND pista = 'Pista Nord'"_s
                                       << u"Il giro 2 di D'Angelo non è più quello mostrato"_s;
        QTest::newRow("risposta no") << QString() << QString();
    }
    void nienteCambiaSeNonRiesce()
    {
        QFETCH(QString, sql);
        QFETCH(QString, motivo);
        Banco b;
        if (!sql.isEmpty()) b.db.esegui(sql);
        else b.messaggi.risposte = {Messaggi::Risposta::No};
        const QByteArray prima = contenuto(b.percorso);
        const Sessione::Corsia corsia = b.sessione.corsia(0);
        QVERIFY(!b.tempi.correggi(b.riga(u"D'Angelo"_s, 2), correzioni::Tipo::Elimina));
        QCOMPARE(contenuto(b.percorso), prima);
        const QString detto = b.messaggi.ultimo();
        QCOMPARE(b.messaggi.mostrati.size(), motivo.isEmpty() ? 1 : 2);
        QVERIFY2(detto.startsWith(motivo.isEmpty() ? u"Eliminare"_s : u"La correzione non è stata fatta: "_s + motivo), qPrintable(detto));
        QVERIFY(b.sessione.corsia(0).numGiri == corsia.numGiri && b.sessione.corsia(0).bestlapper == corsia.bestlapper);
        QCOMPARE(b.sessione.giroVeloce(), 28.011f);
    }
};

QTEST_MAIN(TestCorrezioni)
#include "tst_correzioni.moc"

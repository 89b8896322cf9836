// The results windows on a real database: grids, the driver times viewer and its corrections, saves, loads, reset.
#include "archiviofinto.h"
#include "copiefinte.h"
#include "database/archivioasincrono.h"
#include "database/cancellatempi.h"
#include "database/sessionisalvate.h"
#include "databaseprova.h"
#include "dialogofilefinto.h"
#include "orologiomanuale.h"
#include "piattaforma/file.h"
#include "results/classificamostrata.h"
#include "results/grigliarisultati.h"
#include "results/visualtempi.h"
#include "timing/globale.h"
#include "timing/sessione.h"
#include "timing/tempotesto.h"

#include <QtTest>
#include <optional>
#include <QtWidgets>
#include <ranges>

using namespace Qt::StringLiterals;
using Testi = QStringList;

namespace {
// The texts of a grid row by row, or of one column.
Testi celle(const QAbstractItemModel &m, int sola = -1)
{
    Testi t;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m.columnCount(); ++c)
            if (sola < 0 || c == sola) t.append(m.index(r, c).data().toString());
    return t;
}
Testi testate(const QAbstractItemModel &m)
{
    Testi t;
    for (int c = 0; c < m.columnCount(); ++c) t.append(m.headerData(c, Qt::Horizontal).toString());
    return t;
}
// What the viewer shows for a typed text after "Aggiorna".
Testi cerca(Visualtempi &v, const QString &testo)
{
    v.piloticmb()->setEditText(testo);
    QTest::mouseClick(v.command1(), Qt::LeftButton);
    return celle(v.tempi().modello(), 2);
}

// Three laps stored and shown; the saved sessions and the reset work on them.
struct Banco : DatabaseProva {
    DialogoFileFinto dialogo;
    GriglieRisultati griglie{db, messaggi, nullptr, nullptr};
    OrologioManuale orologio;
    CopieFinte copie{percorso, orologio};
    SessioniSalvate sessioni{db, percorso, dialogo, messaggi, copie};
    ArchivioDiretto archivio{db};
    Sessione sessione{orologio, messaggi, archivio};
    CancellaTempi cancella{db, percorso, messaggi, sessione, copie};
    Banco() { segna("Alfa", 1, 40), segna("Beta", 1, 42), segna("Alfa", 2, 39), griglie.aggiornaTabella(); }
    Testi files() const { return QDir(cartella.path()).entryList(QDir::Files | QDir::Hidden); }
    // Every stored lap, every field.
    Righe giri() { return righe("SELECT * FROM Giri ORDER BY id"); }
    // Loads `nome` through the menu, answering the dialog.
    void carica(const QString &nome) { dialogo.risposte = {nome}; sessioni.carica(&griglie); }
};

// Race control: D'Angelo and Beta on track at "Pista Nord"; Beta has two laps of an earlier
// session at "Pista Sud", one faster than any of this session (so not in Tempofast).
// The viewer lists every driver ("*") and corrects through the real lap writer.
struct Gara : DatabaseProva {
    OrologioManuale orologio{100.0};
    ArchivioAsincrono archivio{db, percorso, messaggi};
    Sessione sessione{orologio, messaggi, archivio};
    TempiPiloti tempi{db, messaggi};

    Gara()
    {
        globale().nomePista = u"Pista Nord"_s;
        archivio.memorizza({u"Beta"_s, 1, 25.0f, testoTempo(25.0f), u"Pista Sud"_s, orologio.dataOra()});
        archivio.memorizza({u"Beta"_s, 2, 33.0f, testoTempo(33.0f), u"Pista Sud"_s, orologio.dataOra()});
        QVERIFY(archivio.svuota());
        sessione.impostaPilota(0, u"D'Angelo"_s);
        sessione.impostaPilota(1, u"Beta"_s);
        sessione.inizializza();
        sessione.start();
        tempi.impostaCorrezioni([this](auto lavoro, auto poi) {
                                    QString errore;
                                    const bool fatto = archivio.esegui(lavoro, &errore);
                                    poi(fatto, errore);
                                },
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
    // Totals, standings and numbering as a full recomputation from Giri gives them (Tempofast is this session's).
    void fileCoerente() { totaliCoerenti(db, false); }
};
} // namespace

class TestRisultati : public QObject {
    Q_OBJECT
private slots:
    // The grids: field names as headers, standings and fastest laps as stored (ties: the live page's suite), read-only.
    void griglieDellaFinestra()
    {
        Banco b;
        QCOMPARE(testate(b.griglie.classifica()), (Testi{"Pilota", "Giri", "TempoTotale"}));
        QCOMPARE(testate(b.griglie.giriVeloci()), (Testi{"Pilota", "Giro", "Tempo", "Pista"}));
        QCOMPARE(celle(b.griglie.classifica()), (Testi{"Alfa", "2", "01:19,000", "Beta", "1", "00:42,000"}));
        QCOMPARE(celle(b.griglie.giriVeloci()).mid(4), (Testi{"Alfa", "1", "Alfa/1", "Pista Nord", "Beta", "1", "Beta/1", "Pista Nord"}));
        QVERIFY(!(b.griglie.classifica().flags(b.griglie.classifica().index(0, 0)) & Qt::ItemIsEditable));
    }

    void tempiPilota()
    {
        DatabaseProva p;
        Visualtempi v(p.db, p.messaggi);
        v.inizializza();
        QCOMPARE(v.piloticmb()->count() + v.tempi().modello().rowCount(), 0);
        QCOMPARE(testate(v.tempi().modello()), (Testi{"Pilota", "Giro", "Tempo"}));
        for (const char *nome : {"Gamma", "Beta"}) p.segna(nome, 1, 41), p.segna(nome, 2, 42);
        v.inizializza();
        QVERIFY(v.piloticmb()->count() == 2 && v.piloticmb()->itemText(1) == "Gamma");
        // The first driver is preselected and shown.
        QCOMPARE(v.piloticmb()->currentText(), u"Beta"_s);
        QCOMPARE(celle(v.tempi().modello()), (Testi{"Beta", "1", "Beta/1", "Beta", "2", "Beta/2"}));
        // "Aggiorna" shows the name picked, without refilling the list.
        v.piloticmb()->setCurrentIndex(1);
        for (const char *nome : {"Alfa", "Alfaa", "D'Angelo", "100%", "100x", "a_b", "axb", "a\\b", "", "Ölaf", "Nicolò", "Ètore", "Straße"})
            p.segna(QString::fromUtf8(nome), 1, 40);
        QTest::mouseClick(v.command1(), Qt::LeftButton);
        QCOMPARE(celle(v.tempi().modello(), 2), (Testi{"Gamma/1", "Gamma/2"}));
        QCOMPARE(v.piloticmb()->count(), 2);
        // The typed text is a pattern: "*" any run, "?" one character, letters in any case, accented ones too.
        QCOMPARE(cerca(v, "alfa") + cerca(v, "ALF?") + cerca(v, "Alf*"), (Testi{"Alfa/1", "Alfa/1", "Alfa/1", "Alfaa/1"}));
        QCOMPARE(cerca(v, "*").size(), 17);
        QCOMPARE(cerca(v, "d'angelo") + cerca(v, "d'*"), (Testi{"D'Angelo/1", "D'Angelo/1"}));
        QCOMPARE(cerca(v, u"NICOLÒ"_s) + cerca(v, u"ètore"_s) + cerca(v, u"ölaf"_s) + cerca(v, u"nicol?"_s),
                 (Testi{u"Nicolò/1"_s, u"Ètore/1"_s, u"Ölaf/1"_s, u"Nicolò/1"_s}));
        // Full case folding: a sharp s is "ss" in capitals.
        QCOMPARE(cerca(v, u"STRASSE"_s) + cerca(v, u"stra\u1E9Ee"_s), (Testi{u"Straße/1"_s, u"Straße/1"_s}));
        // The engine's own wildcards and escape character are plain letters here.
        QCOMPARE(cerca(v, "100%") + cerca(v, "a_b") + cerca(v, "a\\b"), (Testi{"100%/1", "a_b/1", "a\\b/1"}));
        QCOMPARE(cerca(v, "%") + cerca(v, "' OR ''='"), Testi());
        QVERIFY(p.messaggi.mostrati.isEmpty());
    }

    void salvaPoiCarica()
    {
        Banco b;
        // Cancelled dialogs touch nothing but refresh the grids (the start window has none).
        TabelleFinte contate;
        const QByteArray prima = contenuto(b.percorso);
        b.sessioni.salva(contate);
        b.sessioni.carica(&contate);
        b.sessioni.carica(nullptr);
        QVERIFY(contate.aggiornamenti == 2 && contenuto(b.percorso) == prima && b.files().size() == 1);
        // An existing file is replaced, under the name as typed, only once the operator says so (the question is the outputs' suite's).
        const Testi alSalvataggio = celle(b.griglie.classifica());
        const QString gara = b.file("gara1");
        QVERIFY(scriviFile(gara, "vecchio"));
        b.dialogo.risposte = {gara, gara, gara};
        b.messaggi.risposte = {Messaggi::Risposta::No, Messaggi::Risposta::Si};
        b.sessioni.salva(b.griglie);
        QCOMPARE(contenuto(gara), QByteArray("vecchio"));
        b.sessioni.salva(b.griglie);
        QCOMPARE(contenuto(gara), contenuto(b.percorso));
        QCOMPARE(b.messaggi.mostrati.size(), 2);
        b.messaggi.mostrati.clear();
        // Back to the saved moment; the backup made before the load brings every lap back, and takes new laps.
        b.segna("Gamma", 1, 38);
        b.griglie.aggiornaTabella();
        const Righe conGamma = b.giri();
        QVERIFY(celle(b.griglie.classifica()) != alSalvataggio);
        b.sessioni.carica(&b.griglie);
        QCOMPARE(celle(b.griglie.classifica()), alSalvataggio);
        b.carica(b.copie.copie().value(0));
        QCOMPARE(b.giri(), conGamma);
        b.segna("Alfa", 3, 37);
        QVERIFY(contenuto(gara) != contenuto(b.percorso));
        QCOMPARE(b.files().size(), 2); // no copy left over
        QVERIFY(b.messaggi.mostrati.isEmpty() && b.db.aperto());
        QCOMPARE(filtriDialogo(b.dialogo.richieste.value(5).filtro), (Testi{"Salvataggi (*.qlt)", "Tutti i file (*)"}));
        // Loading the database itself, by any path or a second hard link, changes nothing and says so.
        const QByteArray ora = contenuto(b.percorso);
        QStringList stessi{b.cartella.path() + "/./" + QString::fromUtf8(identita::fileDatabase)};
        // A symbolic link and a second hard link, where the system makes them (a Windows shortcut is a file of its own).
        if (QFile::link(b.percorso, b.file("collegamento.qlt")) && QFileInfo(b.file("collegamento.qlt")).isSymbolicLink())
            stessi << b.file("collegamento.qlt");
        if (file::collegamentoFisso(b.percorso, b.file("fisso.qlt"))) stessi << b.file("fisso.qlt");
        for (const QString &stesso : stessi) {
            b.dialogo.risposte = {stesso};
            QVERIFY(!b.sessioni.carica(&b.griglie));
            QCOMPARE(b.messaggi.ultimo(), u"Il file\n"_s + stesso + u"\nè il database dei tempi in uso: non c'è niente da caricare.\n"
                                          "I tempi attuali non sono stati modificati."_s);
        }
        QVERIFY(contenuto(b.percorso) == ora && b.messaggi.mostrati.size() == stessi.size() && b.db.aperto());
        b.messaggi.mostrati.clear();
        QFile::remove(b.file("collegamento.qlt"));
        QFile::remove(b.file("fisso.qlt"));
        // A file sound by every check that does not reopen: the previous one goes back in its place.
        int aperture = 0;
        const auto ripristino = sostituzione::sostituisci(b.copie.copie().value(0), b.percorso, b.copie,
            {[&] { b.db.chiudi(); }, [&](QString *m) {
                 if (aperture++ == 0) return *m = u"prova"_s, false;
                 schema::apriDatabase(b.db, b.percorso);
                 return true;
             }});
        QVERIFY(ripristino.esito == SessioniSalvate::Esito::Ripristinato && ripristino.motivo == u"prova"_s && contenuto(b.percorso) == ora);
        QFile::remove(ripristino.copiaSicurezza);
        // A failed save says why and leaves the database open for new laps.
        b.dialogo.risposte = {b.file("manca/gara.qlt")};
        b.sessioni.salva(b.griglie);
        QVERIFY(b.messaggi.ultimo().startsWith(u"Impossibile salvare i tempi in\n"_s + b.file("manca/gara.qlt")));
        b.segna("Beta", 2, 41);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri WHERE pilota = 'Beta'"), 2);
    }

    void caricaRifiutaFileNonValidi_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("sql"); // applied to a copy of the live file
        QTest::addColumn<QString>("motivo");
        const QString estraneo = u"(il file non è un database dei tempi, oppure la password non è quella giusta"_s;
        for (const char *t : {"testo", "password"}) QTest::newRow(t) << t << "" << estraneo;
        QTest::newRow("mancante") << "mancante" << "" << "(file non trovato)";
        QTest::newRow("vuoto") << "vuoto" << "" << "(file vuoto)";
        QTest::newRow("pagina danneggiata") << "pagina" << "SELECT 1" << "(il file è danneggiato: ";
        QTest::newRow("indici scambiati") << "sql"
            << "PRAGMA writable_schema = ON; UPDATE sqlite_master SET rootpage = (SELECT sum(rootpage) FROM sqlite_master "
               "WHERE name IN ('Giri_pilota', 'Giri_tempo')) - rootpage WHERE name IN ('Giri_pilota', 'Giri_tempo')"
            << "(il file è danneggiato: row 1 missing from index Giri_";
        QTest::newRow("altre colonne") << "sql" << "DROP TABLE Giri; CREATE TABLE Giri (x INTEGER)"
                                       << "(nella tabella Giri manca la colonna id)";
        QTest::newRow("altri tipi") << "sql"
            << "DROP TABLE Giri; CREATE TABLE Giri (id INTEGER PRIMARY KEY, pilota TEXT, giroN INTEGER, tempoGiro TEXT, "
               "Tempo TEXT, Data TEXT, ora TEXT, pista TEXT, intertempoN INTEGER, intertempo REAL)"
            << "(nella tabella Giri la colonna tempoGiro è TEXT invece di REAL)";
        QTest::newRow("vista mancante") << "sql" << "DROP VIEW Sunto2" << "(manca la vista Sunto2)";
        // Sound by every check, but the program's own index name is taken by a table.
        QTest::newRow("nome occupato") << "sql" << "INSERT INTO Giri (pilota, giroN) VALUES ('Zeta', 1); "
                                                   "DROP INDEX Giri_pilota; CREATE TABLE Giri_pilota (x)"
                                       << "(le tabelle e le viste del programma non si rifanno: ";
        QTest::newRow("pipe") << "fifo" << "" << "(non è un file normale ma una pipe (FIFO))";
        QTest::newRow("collegamento a /dev/zero") << "zero" << "" << "(non è un file normale ma un dispositivo)";
        QTest::newRow("cartella") << "cartella" << "" << "(è una cartella, non un file)";
        QTest::newRow("copia impossibile") << "pieno" << "" << "spazio su disco esaurito (No space left on device).\n"
                                                               "Il caricamento non è stato fatto.";
    }
    void caricaRifiutaFileNonValidi()
    {
        QFETCH(QString, tipo);
        QFETCH(QString, sql);
        Banco b;
        const QString scelto = b.file("scelto.qlt");
        if (tipo == "password") {
            Database altro;
            altro.apri(scelto, u"altra"_s, true);
            schema::prepara(altro, true);
        } else if (!sql.isEmpty()) { // a copy of the live file changed as another program could have left it
            QFile::copy(b.percorso, scelto);
            Database altro;
            altro.apri(scelto, QString::fromUtf8(identita::password));
            altro.esegui(sql);
        } else if (tipo == "pieno") {
            QCOMPARE(b.sessioni.salvaIn(scelto, nullptr), SessioniSalvate::Esito::Fatto);
            b.copie.guasto = [] { return CopieFinte::discoPieno(); };
        } else if (tipo == "fifo" || tipo == "zero") {
            if (tipo == "fifo" && !file::creaFifo(scelto)) QSKIP("no FIFOs in the file system here");
            if (tipo == "zero") {
                if (file::dispositivoInfinito().isEmpty()) QSKIP("no devices in the file system here");
                QVERIFY(QFile::link(file::dispositivoInfinito(), scelto));
            }
        } else if (tipo == "cartella") {
            QVERIFY(QDir().mkdir(scelto));
        } else if (tipo != "mancante") {
            QVERIFY(scriviFile(scelto, tipo == "testo" ? "Pilota;Tempo\nAlfa;00:40,000\n" : ""));
        }
        if (tipo == "pagina") {
            // 50 zero bytes inside the page that holds the laps, as on a failing USB stick.
            const qint64 pagina = b.conta("SELECT rootpage FROM sqlite_master WHERE name = 'Giri'");
            const qint64 misura = b.conta("PRAGMA page_size");
            QFile f(scelto);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek((pagina - 1) * misura + 200) && f.write(QByteArray(50, 0)) == 50);
        }
        const QByteArray prima = contenuto(b.percorso);
        const Righe giri = b.giri();
        const Testi files = b.files();
        TabelleFinte contate;
        b.dialogo.risposte = {scelto};
        b.sessioni.carica(&contate);
        const QString detto = b.messaggi.ultimo();
        QVERIFY(b.messaggi.mostrati.size() == 1 && detto.contains(tipo == "pieno" ? b.copie.cartella() : scelto));
        QFETCH(QString, motivo);
        QVERIFY2(detto.contains(motivo) && detto.endsWith(u"I tempi attuali non sono stati modificati."_s), qPrintable(detto));
        QVERIFY(contate.aggiornamenti == 1 && b.db.aperto());
        QVERIFY(contenuto(b.percorso) == prima && b.files() == files && b.giri() == giri);
        // Only a file that passed every check is swapped in: no copy is left behind.
        QCOMPARE(QDir(b.copie.cartella()).entryList(QDir::Files | QDir::Hidden), Testi());
        // New laps still go in.
        b.segna("Alfa", 3, 38);
        QCOMPARE(b.conta("SELECT Giri FROM TempoTotale WHERE Pilota = 'Alfa'"), 3);
    }

    // A file whose triggers, views or running totals were changed by hand is loaded with the program's own and
    // with totals made again from its laps; objects that are not the program's are dropped and named. A file
    // with a long empty tail comes in compacted. The lanes' lap counters then continue from the loaded laps.
    void caricaRifaQuelloCheDeriva_data()
    {
        QTest::addColumn<QString>("sql"); // applied to a copy of the live file
        QTest::addColumn<QStringList>("tolti");
        QTest::newRow("trigger che conta due giri") << u"DROP TRIGGER Giri_aggiunto; CREATE TRIGGER Giri_aggiunto AFTER INSERT ON Giri "
                                                       "BEGIN UPDATE TotaliPiloti SET giri = giri + 2 WHERE pilota = NEW.pilota; END"_s << Testi();
        QTest::newRow("trigger che cancella") << u"CREATE TRIGGER \"via\"\"giri\" AFTER INSERT ON Giri BEGIN DELETE FROM Giri WHERE id = NEW.id; END"_s
                                              << Testi{u"trigger via\"giri"_s};
        QTest::newRow("trigger che blocca") << u"CREATE TRIGGER blocca BEFORE INSERT ON Giri BEGIN SELECT RAISE(ABORT, 'no'); END; "
                                               "CREATE VIEW Altro AS SELECT 1; CREATE INDEX Doppio ON Giri (Tempo)"_s
                                            << Testi{u"trigger blocca"_s, u"vista Altro"_s, u"indice Doppio"_s};
        QTest::newRow("classifica rovesciata") << u"DROP VIEW Classifica; CREATE VIEW Classifica AS SELECT pilota AS Pilota, giri AS Giri, "
                                                  "totale AS TempoTotale FROM TotaliPiloti ORDER BY giri, totale DESC"_s << Testi();
        QTest::newRow("totali gonfiati") << u"UPDATE TotaliPiloti SET giri = giri + 50, totale = totale * 3; UPDATE TempoTotale SET Giri = 99; "
                                            "UPDATE Tempofast SET Tempo = 1"_s << Testi();
        QTest::newRow("coda vuota") << QString() << Testi();
    }
    void caricaRifaQuelloCheDeriva()
    {
        QFETCH(QString, sql);
        QFETCH(Testi, tolti);
        Banco b;
        b.sessione.impostaPilota(0, u"Alfa"_s);
        b.sessione.inizializza();
        const char *derivati[] = {"SELECT * FROM TempoTotale ORDER BY rowid", "SELECT * FROM TotaliPiloti ORDER BY pilota",
                                  "SELECT type, name, sql FROM sqlite_master WHERE type IN ('trigger', 'view', 'index') ORDER BY name"};
        // The file holds eight more laps of Alfa: the totals as the program keeps them, then the change by hand.
        for (int n = 3; n <= 10; ++n) b.segna("Alfa", n, 41);
        QList<Righe> attesi;
        for (const char *q : derivati) attesi.append(b.righe(q));
        const QString scelto = b.file("scelto.qlt");
        QVERIFY(QFile::copy(b.percorso, scelto));
        for (int n = 10; n >= 3; --n) b.db.esegui(u"DELETE FROM Giri WHERE pilota = 'Alfa' AND giroN = %1"_s.arg(n));
        {
            Database altro;
            altro.apri(scelto, QString::fromUtf8(identita::password));
            if (!sql.isEmpty()) altro.esegui(sql);
        }
        if (sql.isEmpty()) QVERIFY(QFile(scelto).resize(QFileInfo(scelto).size() + 256 * 1024 * 1024)); // sparse
        b.dialogo.risposte = {scelto};
        // As the timing window loads: the file is checked on another thread while this one goes on.
        bool iniziato = false;
        std::optional<bool> caricato;
        b.sessioni.caricaPoi(&b.griglie, [&] { iniziato = true; }, [&](bool c) { caricato = c; });
        QVERIFY(iniziato && !caricato);
        QTRY_VERIFY_WITH_TIMEOUT(caricato.has_value(), 30000);
        QVERIFY2(*caricato, qPrintable(b.messaggi.ultimo()));
        if (tolti.isEmpty()) {
            QVERIFY2(b.messaggi.mostrati.isEmpty(), qPrintable(b.messaggi.ultimo()));
        } else {
            QCOMPARE(b.messaggi.mostrati.size(), 1);
            QCOMPARE(b.messaggi.ultimo().split(u'\n').mid(3), tolti);
            QCOMPARE(b.messaggi.mostrati[0].icona, Messaggi::Icona::Informazione);
        }
        for (int i = 0; i < 3; ++i) QCOMPARE(b.righe(derivati[i]), attesi[i]);
        QCOMPARE(b.righe("SELECT Tempo FROM Tempofast"), (Righe{{39.0}}));
        QVERIFY(QFileInfo(b.percorso).size() < 1024 * 1024);
        // Alfa goes on from her tenth lap; the next lap is stored and counted once.
        b.sessione.rileggiGiri();
        QCOMPARE(b.sessione.corsia(0).numGiri, 10);
        b.segna("Alfa", 11, 38);
        QCOMPARE(b.righe("SELECT Pilota, Giri FROM TempoTotale ORDER BY rowid"), (Righe{{u"Alfa"_s, 11}, {u"Beta"_s, 1}}));
    }

    void reset()
    {
        Banco b;
        b.sessione.impostaPilota(0, u"Alfa"_s);
        b.sessione.inizializza();
        auto conGiri = [&] { return classificaConGiri(b.griglie.classifica()); };
        // Cancel, the default button, changes nothing.
        using enum Messaggi::Risposta;
        b.messaggi.risposte = {Annulla, Ok, Ok};
        QVERIFY(!b.cancella.cancellaTempi(conGiri));
        const auto domanda = b.messaggi.mostrati.value(0);
        QCOMPARE(domanda.testo, u"Attenzione: questo comando\ncancellerà tutti i tempi.\nVuoi continuare?"_s);
        QVERIFY(domanda.pulsanti == Messaggi::Pulsanti::OkAnnulla && domanda.predefinito == 1);
        QVERIFY(b.conta("SELECT count(*) FROM Giri") == 3 && b.sessione.corsia(0).numGiri == 2);
        // A backup that cannot be written (a full disk): no reset, and nothing left behind.
        b.copie.guasto = [] { return CopieFinte::discoPieno(); };
        const QByteArray prima = contenuto(b.percorso);
        QVERIFY(!b.cancella.cancellaTempi(conGiri));
        QVERIFY(b.messaggi.ultimo().endsWith(u"spazio su disco esaurito (No space left on device).\nIl reset non è stato fatto: "
                                             "i tempi attuali non sono stati modificati."_s));
        QVERIFY(contenuto(b.percorso) == prima && b.sessione.corsia(0).numGiri == 2 && b.copie.copie().isEmpty());
        QCOMPARE(QDir(b.copie.cartella()).entryList(QDir::Files | QDir::Hidden), Testi());
        b.copie.guasto = nullptr;
        // From the menu with laps shown: laps and standings go, a missing Tempofast row comes back.
        b.griglie.aggiornaTabella();
        b.db.esegui("DELETE FROM Tempofast");
        b.cancella.menuCancDatabase(b.griglie, conGiri);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri") + b.griglie.classifica().rowCount() + b.griglie.giriVeloci().rowCount(), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM Tempofast WHERE Tempo = 0") + b.conta("SELECT count(*) FROM Tempofast"), 2);
    }

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
        Gara b;
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
        QTest::newRow("errore del motore") << u"CREATE TRIGGER blocca BEFORE UPDATE OF giroN ON Giri "
                                              "BEGIN SELECT RAISE(ABORT, 'disco pieno'); END"_s << u"Errore del database: disco pieno"_s;
        QTest::newRow("giro cambiato") << u"UPDATE Giri SET giroN = 7 WHERE giroN = 2 AND pista = 'Pista Nord'"_s
                                       << u"Il giro 2 di D'Angelo non è più quello mostrato"_s;
        QTest::newRow("risposta no") << QString() << QString();
    }
    void nienteCambiaSeNonRiesce()
    {
        QFETCH(QString, sql);
        QFETCH(QString, motivo);
        Gara b;
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

QTEST_MAIN(TestRisultati)
#include "tst_risultati.moc"

#include "archiviofinto.h"
#include "copiefinte.h"
#include "database/cancellatempi.h"
#include "database/sessionisalvate.h"
#include "databaseprova.h"
#include "dialogofilefinto.h"
#include "orologiomanuale.h"
#include "results/classificamostrata.h"
#include "results/grigliarisultati.h"
#include "results/visualtempi.h"
#include "timing/sessione.h"

#include <QtTest>
#include <QtWidgets>

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
    ArchivioTempi archivio{db, messaggi};
    Sessione sessione{orologio, messaggi, archivio};
    CancellaTempi cancella{db, percorso, messaggi, sessione, copie};
    Banco() { segna("Alfa", 1, 40), segna("Beta", 1, 42), segna("Alfa", 2, 39), griglie.aggiornaTabella(); }
    Testi files() const { return QDir(cartella.path()).entryList(QDir::Files | QDir::Hidden); }
    // Every stored lap, every field.
    Righe giri() { return righe("SELECT * FROM Giri ORDER BY id"); }
    // Loads `nome` through the menu, answering the dialog.
    void carica(const QString &nome) { dialogo.risposte = {nome}; sessioni.carica(&griglie); }
};
} // namespace

class TestRisultati : public QObject {
    Q_OBJECT
private slots:
    // The grids: the field names as headers, the standings and the five fastest laps as
    // stored (their order, ties included, is checked on the page, which reads the same
    // results), nothing editable; a read error is shown.
    void griglieDellaFinestra()
    {
        Banco b;
        QCOMPARE(testate(b.griglie.classifica()), (Testi{"Pilota", "Giri", "TempoTotale"}));
        QCOMPARE(testate(b.griglie.giriVeloci()), (Testi{"Pilota", "Giro", "Tempo", "Pista"}));
        QCOMPARE(celle(b.griglie.classifica()), (Testi{"Alfa", "2", "01:19,000", "Beta", "1", "00:42,000"}));
        QCOMPARE(celle(b.griglie.giriVeloci()).mid(4), (Testi{"Alfa", "1", "Alfa/1", "Pista Nord", "Beta", "1", "Beta/1", "Pista Nord"}));
        QVERIFY(!(b.griglie.classifica().flags(b.griglie.classifica().index(0, 0)) & Qt::ItemIsEditable));
        b.db.esegui("DROP VIEW Sunto2");
        b.griglie.aggiornaTabella();
        QVERIFY(b.messaggi.ultimo().startsWith(u"Errore del database: no such table"_s));
    }

    void tempiPilota()
    {
        DatabaseProva p;
        Visualtempi v(p.db, p.messaggi);
        v.inizializza();
        QCOMPARE(v.piloticmb()->count() + v.tempi().modello().rowCount(), 0);
        QCOMPARE(testate(v.tempi().modello()), (Testi{"Pilota", "Giro", "Tempo"}));
        for (const char *nome : {"Gamma", "Beta"}) p.segna(nome, 1, 41), p.segna(nome, 2, 42);
        v.inizializza(); // the list is emptied first each time
        v.inizializza();
        QVERIFY(v.piloticmb()->count() == 2 && v.piloticmb()->itemText(1) == "Gamma");
        // The first driver is preselected and shown.
        QCOMPARE(v.piloticmb()->currentText(), u"Beta"_s);
        QCOMPARE(celle(v.tempi().modello()), (Testi{"Beta", "1", "Beta/1", "Beta", "2", "Beta/2"}));
        // Picking a name does not refresh by itself; "Aggiorna" does, without refilling the list.
        v.piloticmb()->setCurrentIndex(1);
        QCOMPARE(celle(v.tempi().modello(), 2), (Testi{"Beta/1", "Beta/2"}));
        for (const char *nome : {"Alfa", "Alfaa", "D'Angelo", "100%", "100x", "a_b", "axb", "a\\b", "", "Ölaf", "Nicolò", "Ètore"})
            p.segna(QString::fromUtf8(nome), 1, 40);
        QTest::mouseClick(v.command1(), Qt::LeftButton);
        QCOMPARE(celle(v.tempi().modello(), 2), (Testi{"Gamma/1", "Gamma/2"}));
        QCOMPARE(v.piloticmb()->count(), 2);
        // The typed text is a pattern: "*" any run, "?" one character, letters in any case, accented ones too.
        QCOMPARE(cerca(v, "alfa") + cerca(v, "ALF?") + cerca(v, "Alf*"), (Testi{"Alfa/1", "Alfa/1", "Alfa/1", "Alfaa/1"}));
        QCOMPARE(cerca(v, "*").size(), 16);
        QCOMPARE(cerca(v, "d'angelo") + cerca(v, "d'*"), (Testi{"D'Angelo/1", "D'Angelo/1"}));
        QCOMPARE(cerca(v, u"NICOLÒ"_s) + cerca(v, u"ètore"_s) + cerca(v, u"ölaf"_s) + cerca(v, u"nicol?"_s),
                 (Testi{u"Nicolò/1"_s, u"Ètore/1"_s, u"Ölaf/1"_s, u"Nicolò/1"_s}));
        // The engine's own wildcards and escape character are plain letters here.
        QCOMPARE(cerca(v, "100%") + cerca(v, "a_b") + cerca(v, "a\\b"), (Testi{"100%/1", "a_b/1", "a\\b/1"}));
        QCOMPARE(cerca(v, "%") + cerca(v, "' OR ''='"), Testi());
        // An empty text finds only the laps with an empty name, which group first.
        QCOMPARE(cerca(v, ""), Testi{"/1"});
        v.inizializza();
        QVERIFY(v.piloticmb()->currentText().isEmpty() && celle(v.tempi().modello(), 2) == Testi{"/1"});
        // Tab and Shift+Tab leave the grid for the driver box and "Aggiorna", and come back.
        v.show();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        v.msFlexGrid1()->setFocus();
        for (auto [tasto, atteso] : {std::pair{Qt::Key_Tab, static_cast<QWidget *>(v.piloticmb())}, {Qt::Key_Tab, v.command1()},
                                     {Qt::Key_Backtab, v.piloticmb()}, {Qt::Key_Backtab, v.msFlexGrid1()}}) {
            QTest::keyClick(QApplication::focusWidget(), tasto);
            QWidget *f = QApplication::focusWidget();
            QCOMPARE(f && f->parentWidget() == v.piloticmb() ? v.piloticmb() : f, atteso); // the combo's line edit
        }
        // Nothing was reported so far; a closed database is, and the viewer stays usable and empty.
        QVERIFY(p.messaggi.mostrati.isEmpty());
        p.db.chiudi();
        v.inizializza();
        QVERIFY(v.piloticmb()->count() + v.tempi().modello().rowCount() == 0 && !p.messaggi.mostrati.isEmpty());
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
        // An existing file is replaced, under the name as typed.
        const Testi alSalvataggio = celle(b.griglie.classifica());
        const QString gara = b.file("gara1");
        QVERIFY(scriviFile(gara, "vecchio"));
        b.dialogo.risposte = {gara, gara};
        b.sessioni.salva(b.griglie);
        QCOMPARE(contenuto(gara), contenuto(b.percorso));
        // More laps, then back to the saved moment; the backup made before the load brings
        // every lap back exactly, and the loaded file takes new laps.
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
        const auto &r = b.dialogo.richieste;
        QVERIFY(r.size() == 6 && r[3].salvataggio && r[3].titolo == "Salva Tempi" && r[4].titolo == "Carica Tempi");
        QCOMPARE(r[4].filtro, u"Salvataggi|*.qlt|Tutti i file|*.*"_s);
        QCOMPARE(DialogoFileQt::filtriQt(r[4].filtro), (Testi{"Salvataggi (*.qlt)", "Tutti i file (*)"}));
        // Loading the database itself, by any path, changes nothing.
        const QByteArray ora = contenuto(b.percorso);
        b.dialogo.risposte = {b.cartella.path() + "/./" + QString::fromUtf8(identita::fileDatabase)};
        b.sessioni.carica(&b.griglie);
        QVERIFY(contenuto(b.percorso) == ora && b.messaggi.mostrati.isEmpty() && b.db.aperto());
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
        QTest::newRow("vista diversa") << "sql" << "DROP VIEW Sunto; CREATE VIEW Sunto AS SELECT pilota, Tempo FROM Giri"
                                       << "(nella vista Sunto le colonne sono pilota, Tempo invece di Pilota, Giro, Tempo)";
        // Sound by every check, but the program's own index name is taken by a table: the reopen fails.
        QTest::newRow("non si riapre") << "riapre" << "INSERT INTO Giri (pilota, giroN) VALUES ('Zeta', 1); "
                                                      "DROP INDEX Giri_pilota; CREATE TABLE Giri_pilota (x)"
                                       << "there is already a table named Giri_pilota.\nÈ stato rimesso al suo posto il database di prima.";
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
        // Only a file that passed every check is swapped in, after a copy of the live one; nothing else is left behind.
        const Testi copie = QDir(b.copie.cartella()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(copie.size(), tipo == "riapre" ? 1 : 0);
        QVERIFY(copie.isEmpty() || contenuto(b.copie.copie().value(0)) == prima);
        // New laps still go in.
        b.segna("Alfa", 3, 38);
        QCOMPARE(b.conta("SELECT Giri FROM TempoTotale WHERE Pilota = 'Alfa'"), 3);
    }

    void reset()
    {
        Banco b;
        b.sessione.impostaPilota(0, u"Alfa"_s);
        b.sessione.inizializza();
        auto conGiri = [&] { return classificaConGiri(b.griglie.classifica()); };
        // Cancel, the default button, changes nothing.
        using enum Messaggi::Risposta;
        b.messaggi.risposte = {Annulla, Ok, Ok, Ok};
        QVERIFY(!b.cancella.cancellaTempi(conGiri));
        const auto domanda = b.messaggi.mostrati.value(0);
        QCOMPARE(domanda.testo, u"Attenzione: questo comando\ncancellerà tutti i tempi.\nVuoi continuare?"_s);
        QVERIFY(domanda.titolo == "Reset Database" && domanda.predefinito == 1);
        QVERIFY(domanda.pulsanti == Messaggi::Pulsanti::OkAnnulla && domanda.icona == Messaggi::Icona::Esclamazione);
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
        // Standings shown without laps: the laps stay, Tempofast is one row at 0, the lanes restart.
        b.griglie.classifica().svuota();
        b.db.esegui("INSERT INTO Tempofast VALUES (7.25)");
        QVERIFY(b.cancella.cancellaTempi(conGiri));
        QCOMPARE(b.conta("SELECT count(*) FROM Giri") + b.conta("SELECT count(*) FROM TempoTotale"), 3 + 2);
        QCOMPARE(b.conta("SELECT count(*) FROM Tempofast WHERE Tempo = 0") + b.conta("SELECT count(*) FROM Tempofast"), 2);
        QCOMPARE(b.sessione.corsia(0).numGiri, 0);
        // From the menu with laps shown: laps and standings go, a missing Tempofast row comes back.
        b.griglie.aggiornaTabella();
        b.db.esegui("DELETE FROM Tempofast");
        b.cancella.menuCancDatabase(b.griglie, conGiri);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri") + b.griglie.classifica().rowCount() + b.griglie.giriVeloci().rowCount(), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM Tempofast WHERE Tempo = 0") + b.conta("SELECT count(*) FROM Tempofast"), 2);
    }
};

QTEST_MAIN(TestRisultati)
#include "tst_risultati.moc"

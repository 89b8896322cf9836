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

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;
using Testi = QStringList;
using Numeri = QList<int>;

namespace {
const int sinistra = Qt::AlignLeft | Qt::AlignVCenter, centro = Qt::AlignCenter;

// The texts of a grid row by row, or of one column.
Testi celle(const QAbstractItemModel &m, int sola = -1)
{
    Testi t;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m.columnCount(); ++c)
            if (sola < 0 || c == sola) t.append(m.index(r, c).data().toString());
    return t;
}
// Header texts and, for the first row, alignments.
std::pair<Testi, Numeri> testate(const QAbstractItemModel &m)
{
    std::pair<Testi, Numeri> r;
    for (int c = 0; c < m.columnCount(); ++c) {
        r.first.append(m.headerData(c, Qt::Horizontal).toString());
        if (m.rowCount()) r.second.append(m.index(0, c).data(Qt::TextAlignmentRole).toInt());
    }
    return r;
}
Numeri larghezze(const QTableView *v) { return {v->columnWidth(0), v->columnWidth(1), v->columnWidth(2)}; }
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
    Banco() { segna("Alfa", 1, 40), segna("Beta", 1, 42), segna("Alfa", 2, 39), griglie.aggiornaTabella(); }
    Testi files() const { return QDir(cartella.path()).entryList(QDir::Files | QDir::Hidden); }
    // Every stored lap, every field.
    QString giri()
    {
        Istruzione q = db.prepara("SELECT group_concat(quote(id) || quote(pilota) || quote(giroN) || quote(tempoGiro) || "
                                  "quote(Tempo) || quote(Data) || quote(ora) || quote(pista), ';') FROM Giri");
        return q.passo() ? q.testo(0) : QString();
    }
    // Loads `nome` through the menu, answering the dialog.
    void carica(const QString &nome) { dialogo.risposte = {nome}; sessioni.carica(&griglie); }
    // A copy of the live file changed by `sql`, as another program could have left it.
    QString variante(const QString &nome, const QString &sql)
    {
        const QString f = file(nome);
        QFile::copy(percorso, f);
        Database altro;
        altro.apri(f, QString::fromUtf8(identita::password));
        altro.esegui(sql);
        return f;
    }
};
} // namespace

class TestRisultati : public QObject {
    Q_OBJECT
private slots:
    void griglieDellaFinestra()
    {
        DatabaseProva p;
        QTableView v1, v2;
        GriglieRisultati griglie(p.db, p.messaggi, &v1, &v2);
        griglie.aggiornaTabella();
        // Before any lap: the field names as headers, no row.
        QCOMPARE(testate(griglie.classifica()).first, (Testi{"Pilota", "Giri", "TempoTotale"}));
        QCOMPARE(testate(griglie.giriVeloci()).first, (Testi{"Pilota", "Giro", "Tempo", "Pista"}));
        QCOMPARE(griglie.classifica().rowCount() + griglie.giriVeloci().rowCount(), 0);
        QVERIFY(larghezze(&v1) == (Numeri{87, 43, 87}) && larghezze(&v2) == larghezze(&v1));
        // The refresh reads the laps stored since: the five fastest, ties in storing order.
        const float tempi[] = {50.5f, 49.0f, 51.0f, 49.0f, 60.0f, 48.0f, 49.0f, 70.0f};
        for (int i = 0; i < 8; ++i) p.segna(i % 2 ? "Beta" : "D'Alfa", i / 2 + 1, tempi[i]);
        griglie.aggiornaTabella();
        QCOMPARE(celle(griglie.giriVeloci(), 2), (Testi{"Beta/3", "Beta/1", "Beta/2", "D'Alfa/4", "D'Alfa/1"}));
        QCOMPARE(celle(griglie.giriVeloci()).mid(16), (Testi{"D'Alfa", "1", "D'Alfa/1", "Pista Nord"}));
        QCOMPARE(celle(griglie.classifica()), (Testi{"D'Alfa", "4", "03:30,500", "Beta", "4", "03:36,000"}));
        QCOMPARE(testate(griglie.classifica()).second, (Numeri{sinistra, centro, centro}));
        QCOMPARE(testate(griglie.giriVeloci()).second, (Numeri{sinistra, centro, centro, centro}));
        QVERIFY(!(griglie.classifica().flags(griglie.classifica().index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(p.messaggi.mostrati.isEmpty());
        // A read error is shown and the layout set again; a database that never opened
        // was reported already, and the grids just empty.
        p.db.esegui("DROP VIEW Sunto2");
        v1.setColumnWidth(0, 5);
        griglie.aggiornaTabella();
        QVERIFY(p.messaggi.ultimo().startsWith(u"Errore del database: no such table"_s) && v1.columnWidth(0) == 87);
        p.db.chiudi();
        griglie.aggiornaTabella();
        QVERIFY(p.messaggi.mostrati.size() == 1 && griglie.classifica().columnCount() == 0);
    }

    void tempiPilota()
    {
        DatabaseProva p;
        Visualtempi v(p.db, p.messaggi);
        v.inizializza();
        QCOMPARE(v.piloticmb()->count() + v.tempi().modello().rowCount(), 0);
        QCOMPARE(testate(v.tempi().modello()).first, (Testi{"Pilota", "Giro", "Tempo"}));
        for (const char *nome : {"Gamma", "Beta"}) p.segna(nome, 1, 41), p.segna(nome, 2, 42);
        v.inizializza(); // the list is emptied first each time
        v.inizializza();
        QVERIFY(v.piloticmb()->count() == 2 && v.piloticmb()->itemText(1) == "Gamma");
        // The first driver is preselected and shown.
        QCOMPARE(v.piloticmb()->currentText(), u"Beta"_s);
        QCOMPARE(celle(v.tempi().modello()), (Testi{"Beta", "1", "Beta/1", "Beta", "2", "Beta/2"}));
        QCOMPARE(larghezze(v.msFlexGrid1()), (Numeri{87, 43, 87}));
        QCOMPARE(testate(v.tempi().modello()).second, (Numeri{sinistra, centro, centro}));
        // Picking a name does not refresh by itself; "Aggiorna" does, without refilling the list.
        v.piloticmb()->setCurrentIndex(1);
        QCOMPARE(celle(v.tempi().modello(), 2), (Testi{"Beta/1", "Beta/2"}));
        for (const char *nome : {"Alfa", "Alfaa", "D'Angelo", "100%", "100x", "a_b", "axb", "a\\b", "", "Ölaf", "Nicolò", "Ètore"})
            p.segna(QString::fromUtf8(nome), 1, 40);
        QTest::mouseClick(v.command1(), Qt::LeftButton);
        QCOMPARE(celle(v.tempi().modello(), 2), (Testi{"Gamma/1", "Gamma/2"}));
        QCOMPARE(v.piloticmb()->count(), 2);
        // The typed text is a pattern: "*" any run, "?" one character, letters in any case, accented ones too.
        QCOMPARE(cerca(v, "alfa"), Testi{"Alfa/1"});
        QCOMPARE(cerca(v, "ALF?"), Testi{"Alfa/1"});
        QCOMPARE(cerca(v, "Alf*"), (Testi{"Alfa/1", "Alfaa/1"}));
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
        QVERIFY(p.messaggi.mostrati.isEmpty());
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
        // A closed database is reported; the viewer stays usable and empty.
        p.db.chiudi();
        v.inizializza();
        QCOMPARE(v.piloticmb()->count() + v.tempi().modello().rowCount(), 0);
        QVERIFY(!p.messaggi.mostrati.isEmpty());
    }

    void salvaPoiCarica()
    {
        Banco b;
        // Cancelled dialogs touch nothing but refresh the grids (the start window has none).
        TabelleFinte contate;
        const QByteArray prima = b.contenuto(b.percorso);
        b.sessioni.salva(contate);
        b.sessioni.carica(&contate);
        b.sessioni.carica(nullptr);
        QCOMPARE(contate.aggiornamenti, 2);
        QVERIFY(b.contenuto(b.percorso) == prima && b.files().size() == 1);
        // An existing file is replaced, under the name as typed.
        const Testi alSalvataggio = celle(b.griglie.classifica());
        const QString gara = b.file("gara1");
        QFile vecchio(gara);
        QVERIFY(vecchio.open(QIODevice::WriteOnly) && vecchio.write("vecchio") > 0);
        vecchio.close();
        b.dialogo.risposte = {gara, gara};
        b.sessioni.salva(b.griglie);
        QCOMPARE(b.contenuto(gara), b.contenuto(b.percorso));
        // More laps, then back to the saved moment; the loaded file takes new laps.
        b.segna("Gamma", 1, 38);
        b.segna("Beta", 2, 41);
        b.griglie.aggiornaTabella();
        QVERIFY(celle(b.griglie.classifica()) != alSalvataggio);
        b.sessioni.carica(&b.griglie);
        QCOMPARE(celle(b.griglie.classifica()), alSalvataggio);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri WHERE pilota = 'Gamma'"), 0);
        b.segna("Alfa", 3, 37);
        QVERIFY(b.contenuto(gara) != b.contenuto(b.percorso));
        QCOMPARE(b.files().size(), 2); // no copy left over
        QVERIFY(b.messaggi.mostrati.isEmpty() && b.db.aperto());
        const auto &r = b.dialogo.richieste;
        QVERIFY(r.size() == 5 && r[3].salvataggio && r[3].titolo == "Salva Tempi" && r[4].titolo == "Carica Tempi");
        QCOMPARE(r[4].filtro, u"Salvataggi|*.qlt|Tutti i file|*.*"_s);
        QCOMPARE(DialogoFileQt::filtriQt(r[4].filtro), (Testi{"Salvataggi (*.qlt)", "Tutti i file (*)"}));
        // Loading the database itself, by any path, changes nothing.
        const QByteArray ora = b.contenuto(b.percorso);
        b.dialogo.risposte = {b.cartella.path() + "/./" + QString::fromUtf8(identita::fileDatabase)};
        b.sessioni.carica(&b.griglie);
        QVERIFY(b.contenuto(b.percorso) == ora && b.messaggi.mostrati.isEmpty() && b.db.aperto());
        // A failed save says why and leaves the database open for new laps.
        b.dialogo.risposte = {b.file("manca/gara.qlt")};
        b.sessioni.salva(b.griglie);
        QVERIFY(b.messaggi.ultimo().startsWith(u"Impossibile salvare i tempi in\n"_s + b.file("manca/gara.qlt")));
        b.segna("Beta", 3, 41);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri WHERE pilota = 'Beta'"), 2);
    }

    void caricaRifiutaFileNonValidi_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("sql"); // applied to a copy of the live file
        QTest::addColumn<QString>("motivo");
        const QString estraneo = u"(il file non è un database dei tempi, oppure la password non è quella giusta"_s;
        for (const char *t : {"testo", "casuale", "password"}) QTest::newRow(t) << t << "" << estraneo;
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
    }
    void caricaRifiutaFileNonValidi()
    {
        QFETCH(QString, tipo);
        QFETCH(QString, sql);
        Banco b;
        QString scelto = b.file("scelto.qlt");
        if (tipo == "password") {
            Database altro;
            altro.apri(scelto, u"altra"_s, true);
            schema::prepara(altro, true);
        } else if (!sql.isEmpty()) {
            scelto = b.variante("scelto.qlt", sql);
        } else if (tipo != "mancante") {
            QFile f(scelto);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (tipo == "testo") f.write("Pilota;Tempo\nAlfa;00:40,000\n");
            for (int i = 0; tipo == "casuale" && i < 8192; ++i) f.putChar(static_cast<char>((i * 7919 + 13) % 251));
        }
        if (tipo == "pagina") {
            // 50 zero bytes inside the page that holds the laps, as on a failing USB stick.
            const qint64 pagina = b.conta("SELECT rootpage FROM sqlite_master WHERE name = 'Giri'");
            const qint64 misura = b.conta("PRAGMA page_size");
            QFile f(scelto);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek((pagina - 1) * misura + 200) && f.write(QByteArray(50, 0)) == 50);
        }
        const QByteArray prima = b.contenuto(b.percorso);
        const Testi files = b.files();
        TabelleFinte contate;
        b.dialogo.risposte = {scelto};
        b.sessioni.carica(&contate);
        QVERIFY(b.messaggi.mostrati.size() == 1 && b.messaggi.ultimo().contains(scelto));
        QFETCH(QString, motivo);
        QVERIFY2(b.messaggi.ultimo().contains(motivo), qPrintable(b.messaggi.ultimo()));
        QVERIFY(b.messaggi.ultimo().endsWith(u"I tempi attuali non sono stati modificati."_s));
        QVERIFY(contate.aggiornamenti == 1 && b.db.aperto());
        QVERIFY(b.contenuto(b.percorso) == prima && b.files() == files && b.copie.copie().isEmpty());
        QCOMPARE(b.conta("SELECT count(*) FROM Giri"), 3);
    }

    void caricaCheNonSiRiapreRimetteIlDatabase()
    {
        Banco b;
        // Sound by every check, but the program's own index name is taken by a table: opening it fails.
        const QString scelto = b.variante("trappola.qlt", "INSERT INTO Giri (pilota, giroN) VALUES ('Zeta', 1); "
                                                          "DROP INDEX Giri_pilota; CREATE TABLE Giri_pilota (x)");
        const QByteArray prima = b.contenuto(b.percorso);
        const QString giri = b.giri();
        const Testi files = b.files();
        b.carica(scelto);
        QVERIFY2(b.messaggi.ultimo().contains(u"there is already a table named Giri_pilota"_s)
                     && b.messaggi.ultimo().endsWith(u"È stato rimesso al suo posto il database di prima. "
                                                     "I tempi attuali non sono stati modificati."_s),
                 qPrintable(b.messaggi.ultimo()));
        QVERIFY(b.contenuto(b.percorso) == prima && b.files() == files && b.giri() == giri);
        b.segna("Alfa", 3, 38);
        QCOMPARE(b.conta("SELECT Giri FROM TempoTotale WHERE Pilota = 'Alfa'"), 3);
        // The copy made before the replacement is the file as it was.
        QCOMPARE(b.copie.copie().size(), 1);
        QCOMPARE(b.contenuto(b.copie.copie()[0]), prima);
    }

    void copieDiSicurezzaRiportanoITempi()
    {
        Banco b;
        OrologioManuale orologio;
        ArchivioTempi archivio(b.db, b.messaggi);
        Sessione s(orologio, b.messaggi, archivio);
        s.impostaPilota(0, u"Alfa"_s);
        CancellaTempi cancella(b.db, b.percorso, b.messaggi, s, b.copie);
        const QString gara = b.file("gara.qlt"), treGiri = b.giri();
        QCOMPARE(b.sessioni.salvaIn(gara, nullptr), SessioniSalvate::Esito::Fatto);
        b.segna("Gamma", 1, 38);
        const QString quattroGiri = b.giri();
        // A full disk: neither the load nor the reset is done, and nothing is left behind.
        b.copie.guasto = [] { return CopieFinte::discoPieno(); };
        const QByteArray prima = b.contenuto(b.percorso);
        const Testi files = b.files();
        b.carica(gara);
        QVERIFY(b.messaggi.ultimo().contains(u"spazio su disco esaurito (No space left on device).\nIl caricamento non è stato fatto. "
                                             "I tempi attuali non sono stati modificati."_s));
        b.messaggi.risposte = {Messaggi::Risposta::Ok};
        QVERIFY(!cancella.cancellaTempi([] { return true; }));
        QVERIFY(b.messaggi.ultimo().endsWith(u"spazio su disco esaurito (No space left on device).\nIl reset non è stato fatto: "
                                             "i tempi attuali non sono stati modificati."_s));
        QVERIFY(b.contenuto(b.percorso) == prima && b.files() == files && b.db.aperto());
        QCOMPARE(QDir(b.copie.cartella()).entryList(QDir::Files | QDir::Hidden), Testi());
        // Each load and each reset keeps the file as it was before, and loading that copy brings it back.
        b.copie.guasto = nullptr;
        b.messaggi.mostrati.clear();
        b.carica(gara);
        QCOMPARE(b.giri(), treGiri);
        b.carica(b.copie.copie()[0]);
        QCOMPARE(b.giri(), quattroGiri);
        b.messaggi.risposte = {Messaggi::Risposta::Ok};
        QVERIFY(cancella.cancellaTempi([] { return true; }));
        QCOMPARE(b.giri(), QString());
        b.carica(b.copie.copie()[0]);
        QCOMPARE(b.giri(), quattroGiri);
        QCOMPARE(b.messaggi.mostrati.size(), 1); // the reset's question
        // Four copies in one second: the later ones numbered, newest first.
        const QString ora = u"saettinopro-20261205-100000"_s;
        Testi nomi;
        for (const QString &c : b.copie.copie()) nomi.append(QFileInfo(c).fileName());
        QCOMPARE(nomi, (Testi{ora + "-4.mb", ora + "-3.mb", ora + "-2.mb", ora + ".mb"}));
    }

    void reset()
    {
        Banco b;
        OrologioManuale orologio;
        ArchivioTempi archivio(b.db, b.messaggi);
        Sessione s(orologio, b.messaggi, archivio);
        for (int i = 0; i < 3; ++i) s.impostaPilota(i, Testi{"Alfa", "Beta", "Gamma"}[i]);
        s.inizializza();
        s.start();
        orologio.avanza(30);
        s.marca(2);
        const QString ultimo = s.corsia(2).tempolast, migliore = s.corsia(2).bestlapper;
        CancellaTempi cancella(b.db, b.percorso, b.messaggi, s, b.copie);
        auto conGiri = [&] { return classificaConGiri(b.griglie.classifica()); };
        // Cancel, the default button, changes nothing.
        using enum Messaggi::Risposta;
        b.messaggi.risposte = {Annulla, Ok, Ok};
        QVERIFY(!cancella.cancellaTempi(conGiri));
        const auto domanda = b.messaggi.mostrati.value(0);
        QCOMPARE(domanda.testo, u"Attenzione: questo comando\ncancellerà tutti i tempi.\nVuoi continuare?"_s);
        QVERIFY(domanda.titolo == "Reset Database" && domanda.predefinito == 1);
        QVERIFY(domanda.pulsanti == Messaggi::Pulsanti::OkAnnulla && domanda.icona == Messaggi::Icona::Esclamazione);
        QVERIFY(b.conta("SELECT count(*) FROM Giri") == 4 && s.corsia(0).numGiri == 2 && s.giroVeloce() > 0);
        // Standings shown without laps: the laps stay, Tempofast is one row at 0, the lanes restart.
        b.griglie.classifica().svuota();
        b.db.esegui("INSERT INTO Tempofast VALUES (7.25)");
        QVERIFY(cancella.cancellaTempi(conGiri));
        QCOMPARE(b.conta("SELECT count(*) FROM Giri") + b.conta("SELECT count(*) FROM TempoTotale"), 4 + 3);
        QCOMPARE(b.conta("SELECT count(*) FROM Tempofast WHERE Tempo = 0") + b.conta("SELECT count(*) FROM Tempofast"), 2);
        QVERIFY(s.corsia(0).numGiri == 0 && s.corsia(2).numGiri == 0 && s.giroVeloce() == 0);
        // From the menu with laps shown: laps and standings go, a missing Tempofast row comes back.
        b.griglie.aggiornaTabella();
        b.db.esegui("DELETE FROM Tempofast");
        cancella.menuCancDatabase(b.griglie, conGiri);
        QCOMPARE(b.conta("SELECT count(*) FROM Giri") + b.conta("SELECT count(*) FROM TempoTotale"), 0);
        QCOMPARE(b.conta("SELECT count(*) FROM Tempofast WHERE Tempo = 0") + b.conta("SELECT count(*) FROM Tempofast"), 2);
        QCOMPARE(b.griglie.classifica().rowCount() + b.griglie.giriVeloci().rowCount(), 0);
        QCOMPARE(b.messaggi.mostrati.size(), 3);
        // The lap clock restarts; the last and best lap labels keep their text.
        QVERIFY(s.corsia(2).tempo == "00:00,000" && s.corsia(2).tempolast == ultimo && s.corsia(2).bestlapper == migliore);
        orologio.avanza(45);
        s.marca(0);
        QCOMPARE(b.conta("SELECT giroN FROM Giri WHERE pilota = 'Alfa'"), 1);
        // "Giri >= 1" on the column by that name: Null, 0 and 0.5 are no lap.
        auto giri = [&](const char *sql) { ModelloQuery m(b.db, sql); return m.aggiorna(), classificaConGiri(m); };
        QVERIFY(!giri("SELECT 3 AS Pilota, NULL AS Giri UNION ALL SELECT 2, 0 UNION ALL SELECT 9, 0.5"));
        QVERIFY(giri("SELECT 0 AS Pilota, 1 AS Giri"));
    }
};

QTEST_MAIN(TestRisultati)
#include "tst_risultati.moc"

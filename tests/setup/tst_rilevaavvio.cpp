#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "setup/rilevaavvio.h"
#include "timing/globale.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestRilevaAvvio : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    Database db_;
    MessaggiFinti messaggi_;

    QString catalogo()
    {
        Istruzione q = db_.prepara("SELECT group_concat(pista || ' ' || lunghezza, ', ') FROM (SELECT * FROM Piste ORDER BY id)");
        return q.passo() ? q.testo(0) : QString();
    }
    // The texts shown since the last look; they are forgotten.
    QStringList mostrati()
    {
        QStringList testi;
        for (const auto &m : std::exchange(messaggi_.mostrati, {})) testi.append(m.testo);
        return testi;
    }

private slots:
    void initTestCase() { QVERIFY(schema::apriDatabase(db_, cartella_.filePath(u"a.mb"_s))); }
    void init() { db_.esegui(u"DELETE FROM Piste; INSERT INTO Piste (pista, lunghezza) VALUES ('Pista Nord', 1200), ('Sant''Anna', 800)"_s); }

    void finestraEdEditor()
    {
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy avvia(&w, &RilevaAvvio::avvia);
        // The editor: a new name is added; an existing one asks first: Yes changes that track and no other, No leaves it.
        messaggi_.risposte = {Messaggi::Risposta::Si, Messaggi::Risposta::No};
        for (const auto &[nome, lunghezza] : {std::pair{u"L'Aquila"_s, u"950"_s}, {u"Sant'Anna"_s, u" 810 "_s}, {u"Pista Nord"_s, u"1"_s}}) {
            QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
            QVERIFY(!w.actionbtn(0)->isEnabled() && !w.actionbtn(1)->isEnabled() && !w.datiCmb()->isEnabled());
            w.text2(0)->setText(nome);
            w.text2(1)->setText(lunghezza);
            QTest::mouseClick(w.actionbtn(4), Qt::LeftButton);
            QVERIFY(w.nuovaPistaFrm()->isHidden() && w.datiCmb()->isEnabled() && w.actionbtn(1)->isEnabled());
        }
        QVERIFY(messaggi_.mostrati.value(1).pulsanti == Messaggi::Pulsanti::SiNo && messaggi_.mostrati.value(1).icona == Messaggi::Icona::Nessuna);
        QCOMPARE(mostrati(), QStringList(2, u" Pista già presente nel database !!! \n\n Vuoi modifcare i dati ? "_s));
        // A refused length keeps the editor open (the boxes still name "Pista Nord"). Deleting takes every
        // row of the name (the one added above and one more), a message each, and leaves the editor open and filled.
        QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
        w.text2(1)->setText(u"x"_s);
        QTest::mouseClick(w.actionbtn(4), Qt::LeftButton);
        db_.esegui(u"INSERT INTO Piste (pista, lunghezza) VALUES ('L''Aquila', 5)"_s);
        for (const QString &nome : {u"Nessuna"_s, QString(), u"L'Aquila"_s}) {
            w.text2(0)->setText(nome);
            QTest::mouseClick(w.cancellabtn(), Qt::LeftButton);
        }
        QCOMPARE(messaggi_.mostrati.value(1).icona, Messaggi::Icona::Esclamazione);
        QCOMPARE(mostrati().mid(1), (QStringList{u" Inserire il nome della pista !!!"_s, u" Pista Cancellata !!!"_s, u" Pista Cancellata !!!"_s}));
        QCOMPARE(catalogo(), u"Pista Nord 1200, Sant'Anna 810"_s);
        QVERIFY(w.nuovaPistaFrm()->isVisible() && w.text2(0)->text() == u"L'Aquila"_s);
        // Annulla closes the editor (the keys and the track box below need it closed).
        QTest::mouseClick(w.actionbtn(3), Qt::LeftButton);
        // The keypad's Enter in a name box presses "&Ok": without a driver it only says so.
        QTest::keyClick(w.datiTxt(3), Qt::Key_Enter);
        QCOMPARE(mostrati(), QStringList{u"Non è stato inserito il pilota"_s});
        // Drivers up to the first box of blanks. What the track box shows after typing is the track
        // the session gets, whatever the case typed; a name not in the list is no track.
        for (int i : {0, 1, 2, 3}) QTest::keyClicks(w.datiTxt(i), i == 2 ? u"  "_s : u"D'Alfa %1"_s.arg(i));
        for (const auto &[digitato, mostrato, metri] : {std::tuple{"sant'", "Sant'Anna", 810}, {"PISTA", "Pista Nord", 1200}, {"L'Ax", "L'Ax", 0}}) {
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            w.datiCmb()->lineEdit()->setFocus();
            w.datiCmb()->lineEdit()->selectAll();
            QTest::keyClicks(w.datiCmb()->lineEdit(), digitato);
            QCOMPARE(w.datiCmb()->currentText(), mostrato);
            QTest::keyClick(w.datiTxt(3), Qt::Key_Enter);
            QCOMPARE(globale().nomePista, metri ? mostrato : "");
            QVERIFY(globale().lunghezzaPista == metri && !w.isVisible());
        }
        QCOMPARE(avvia.value(0).value(0).toStringList(), (QStringList{"D'Alfa 0", "D'Alfa 1"})); // and never before
    }

    void lunghezzeENomi()
    {
        DatiIniziali dati(db_, messaggi_);
        // Drivers as typed up to the first box of blanks; none without a first one; no two the same, whatever
        // the case (full folding: a final sigma is a sigma) or the way an accent was typed.
        const QString doppi = u"Ogni pilota deve avere un nome diverso: questi hanno lo stesso nome\n"_s;
        for (const auto &[nomi, presi, messaggio] : QList<std::tuple<QStringList, std::optional<QStringList>, QString>>{
                 {{"D'Alfa ", " Beta", "   ", "d'alfa"}, QStringList{"D'Alfa ", " Beta"}, ""},
                 {{" \t ", "Beta"}, {}, "Non è stato inserito il pilota"},
                 {{"Alfa", "Beta", " alfa ", "BETA", "Gamma", "ALFA"}, {}, doppi + "Pilota 1, Pilota 3, Pilota 6: Alfa\nPilota 2, Pilota 4: Beta"},
                 {{u"Σίσυφος"_s, u"ΣΊΣΥΦΟΣ"_s}, {}, doppi + u"Pilota 1, Pilota 2: Σίσυφος"_s},
                 {{"Beta", u"Ölaf"_s, u"o\u0308laf"_s}, {}, doppi + u"Pilota 2, Pilota 3: Ölaf"_s},
                 {{u"Straße"_s, u"STRASSE"_s, u"Ka\u0130"_s, u"STRA\u1E9EE"_s, u"kai\u0307"_s, u"Kai"_s}, {},
                  doppi + u"Pilota 1, Pilota 2, Pilota 4: Straße\nPilota 3, Pilota 5: Ka\u0130"_s},
                 // Invisible marks, doubled or odd blanks and compatibility forms make no new driver.
                 {{u"Ro\u200Bssi"_s, u"Rossi"_s, u"\u200FDe  Luca"_s, u"De\u00A0Luca"_s, u"\uFF2Eeri"_s, u"Neri\uFEFF"_s, u"De Luca"_s},
                  {}, doppi + u"Pilota 1, Pilota 2: Ro\u200Bssi\nPilota 3, Pilota 4, Pilota 7: \u200FDe  Luca\nPilota 5, Pilota 6: \uFF2Eeri"_s},
                 {{u"De Luca"_s, u"DeLuca"_s, u"Ro ssi"_s, u"Rossi"_s}, QStringList{u"De Luca"_s, u"DeLuca"_s, u"Ro ssi"_s, u"Rossi"_s}, ""}}) {
            QVERIFY2(dati.pilotiInseriti(nomi) == presi, qPrintable(nomi.join(u'|')));
            QCOMPARE(mostrati(), messaggio.isEmpty() ? QStringList() : QStringList{messaggio});
        }
        // Refused with one message each, new track or change alike: an empty field, no number, no 16-bit
        // length; and an engine error.
        const QString incompleti = u" I dati della pista non sono completi !!!"_s;
        const QString numerico = u" La lunghezza della pista deve essere in formato numerico !!! "_s;
        db_.esegui(u"CREATE TRIGGER guasto BEFORE INSERT ON Piste WHEN new.lunghezza = 7 BEGIN SELECT RAISE(ABORT, 'sola lettura'); END"_s);
        for (const auto &[nome, lunghezza, messaggio] : QList<std::tuple<QString, QString, QString>>{
                 {"", "100", incompleti}, {"Nuova", "", incompleti}, {"Nuova", "abc", numerico}, {"Nuova", "1.200,5", numerico},
                 {"Nuova", "inf", numerico}, {"Nuova", "-5", numerico}, {"Nuova", "32767,5", numerico}, {"Pista Nord", "40000", numerico},
                 {"Nuova", "7", "Errore del database: sola lettura"}}) {
            QVERIFY2(!dati.nuovaPista(nome, lunghezza), qPrintable(nome + u'/' + lunghezza));
            QCOMPARE(messaggi_.mostrati.value(0).icona, messaggio == numerico ? Messaggi::Icona::Nessuna : Messaggi::Icona::Esclamazione);
            QCOMPARE(mostrati(), QStringList{messaggio});
        }
        // The edges of the range pass on both paths (the change answered Yes), and so do decimals
        // with a comma or a point: stored as typed, read to the nearest metre, halves to even.
        for (const auto &[n, l] : {std::pair{"Orlo", "32767,4"}, {"Sant'Anna", "0"}, {"Virgola", "1200,5"}, {"Punto", " 1201.5 "}, {"Mille", "1e3"}})
            QVERIFY(dati.nuovaPista(n, l));
        QCOMPARE(catalogo(), u"Pista Nord 1200, Sant'Anna 0, Orlo 32767.4, Virgola 1200.5, Punto 1201.5, Mille 1000"_s);
        // Lengths older files may hold: what does not fit 16 bits, is no number or is Null reads 0.
        db_.esegui(u"INSERT INTO Piste (pista, lunghezza) VALUES ('X', 100000), ('X', 'abc'), ('X', NULL)"_s);
        dati.comboInit();
        QList<int> lette;
        for (const PistaCatalogo &p : dati.piste()) lette.append(p.lunghezza);
        QCOMPARE(lette, (QList<int>{1200, 0, 32767, 1200, 1202, 1000, 0, 0, 0}));
    }

    // The session kind beside the track: rules the race cannot take (their reasons are the rules' suite's),
    // half a lap or a grace that is no number are refused and the window stays as it was; a good race is
    // handed on with its rules; "Prova libera" goes on as it always did.
    void tipoDiSessione_data()
    {
        QTest::addColumn<int>("tipo");
        QTest::addColumn<QString>("valore");
        QTest::addColumn<QString>("grazia");
        QTest::addColumn<QString>("messaggio");
        QTest::newRow("0 laps") << 3 << u"0"_s << u"2"_s << u"Una gara a giri deve avere almeno un giro: indicare il numero di giri."_s;
        QTest::newRow("half a lap") << 3 << u"2,5"_s << u"2"_s << u"Il numero di giri di una gara a giri è un numero intero."_s;
        QTest::newRow("grace") << 2 << u"5"_s << u"due"_s << u"Il tempo concesso dopo la bandiera deve essere un numero (per esempio 2)."_s;
        QTest::newRow("lap race") << 3 << u" 10 "_s << u""_s << QString();
        QTest::newRow("time race") << 2 << u"1,5"_s << u"3"_s << QString();
        QTest::newRow("practice") << 0 << u"0"_s << u"x"_s << QString();
    }
    void tipoDiSessione()
    {
        QFETCH(int, tipo);
        QFETCH(QString, valore);
        QFETCH(QString, grazia);
        QFETCH(QString, messaggio);
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        QCOMPARE(w.tipoCmb()->currentText(), u"Prova libera"_s);
        QVERIFY(!w.valoreTxt()->isEnabled());
        QSignalSpy pratica(&w, &RilevaAvvio::avvia), gara(&w, &RilevaAvvio::avviaGara);
        w.tipoCmb()->setCurrentIndex(tipo);
        w.valoreTxt()->setText(valore);
        w.graziaTxt()->setText(grazia);
        w.datiTxt(0)->setText(u"Alfa"_s);
        w.datiTxt(1)->setText(u"Beta"_s);
        messaggi_.mostrati.clear();
        w.actionbtn(0)->click();
        QCOMPARE(mostrati(), messaggio.isEmpty() ? QStringList() : QStringList{messaggio});
        QCOMPARE(pratica.size(), !messaggio.isEmpty() || tipo > 0 ? 0 : 1);
        QCOMPARE(gara.size(), !messaggio.isEmpty() || tipo == 0 ? 0 : 1);
        if (gara.isEmpty()) return;
        const auto regole = gara[0].value(1).value<gara::Regole>();
        QCOMPARE(gara[0].value(0).toStringList(), (QStringList{u"Alfa"_s, u"Beta"_s}));
        QCOMPARE(int(regole.tipo), tipo);
        QCOMPARE(regole.giri, tipo == 3 ? 10 : 0);
        QCOMPARE(regole.durata, tipo == 2 ? 90.0 : 0.0);
        QCOMPARE(regole.fattoreGrazia, tipo == 2 ? 3.0 : 2.0);
    }
};

QTEST_MAIN(TestRilevaAvvio)
#include "tst_rilevaavvio.moc"

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

namespace {
const QString numerico = u" La lunghezza della pista deve essere in formato numerico !!! "_s;

QString catalogo(Database &db)
{
    Istruzione q = db.prepara("SELECT group_concat(pista || ' ' || lunghezza, ', ') FROM (SELECT * FROM Piste ORDER BY id)");
    return q.passo() ? q.testo(0) : QString();
}

bool mostra(RilevaAvvio &w)
{
    w.carica();
    w.show();
    return QTest::qWaitForWindowActive(&w);
}

// The editor's "Ok" with these two boxes.
void salva(RilevaAvvio &w, const QString &nome, const QString &lunghezza)
{
    w.text2(0)->setText(nome);
    w.text2(1)->setText(lunghezza);
    QTest::mouseClick(w.actionbtn(4), Qt::LeftButton);
}
} // namespace

class TestRilevaAvvio : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    Database db_;
    MessaggiFinti messaggi_;
    int prova_ = 0;

private slots:
    void init()
    {
        messaggi_.mostrati.clear();
        QVERIFY(schema::apriDatabase(db_, cartella_.filePath(u"a%1.mb"_s.arg(++prova_))));
        db_.esegui(u"DELETE FROM Piste; INSERT INTO Piste (pista, lunghezza) VALUES ('Pista Nord', 1200), ('Sant''Anna', 800)"_s);
    }
    void cleanup() { db_.chiudi(); }

    void lunghezzeDellePiste()
    {
        DatiIniziali dati(db_, messaggi_);
        const QString incompleti = u" I dati della pista non sono completi !!!"_s;
        // Refused with one message each, new track or change alike: an empty field, no number, no 16-bit length.
        for (const auto &[nome, lunghezza, messaggio] : QList<std::tuple<QString, QString, QString>>{
                 {"", "100", incompleti}, {"Nuova", "", incompleti}, {"Nuova", "abc", numerico},
                 {"Nuova", "1.200,5", numerico}, {"Nuova", "inf", numerico}, {"Nuova", "-5", numerico},
                 {"Nuova", "32767,5", numerico}, {"Pista Nord", "40000", numerico}}) {
            messaggi_.mostrati.clear();
            QVERIFY2(!dati.nuovaPista(nome, lunghezza), qPrintable(nome + u'/' + lunghezza));
            QCOMPARE(messaggi_.mostrati.size(), 1);
            QCOMPARE(messaggi_.ultimo(), messaggio);
            QCOMPARE(messaggi_.mostrati[0].icona, messaggio == numerico ? Messaggi::Icona::Nessuna : Messaggi::Icona::Esclamazione);
        }
        QCOMPARE(catalogo(db_), u"Pista Nord 1200, Sant'Anna 800"_s);
        // The edges of the range pass on both paths (the change answered Yes), and so do decimals
        // with a comma or a point: stored as typed, read to the nearest metre, halves to even.
        for (const auto &[n, l] : {std::pair{"Limite", "32767,4"}, {"Pista Nord", "0"}, {"Virgola", "1200,5"},
                                   {"Punto", " 1201.5 "}, {"Mille", "1e3"}})
            QVERIFY(dati.nuovaPista(n, l));
        QCOMPARE(catalogo(db_), u"Pista Nord 0, Sant'Anna 800, Limite 32767.4, Virgola 1200.5, Punto 1201.5, Mille 1000"_s);
        // Lengths older files may hold: what does not fit 16 bits, is no number or is Null reads 0.
        db_.esegui(u"INSERT INTO Piste (pista, lunghezza) VALUES ('X', 100000), ('X', 100.5), ('X', 101.5), ('X', 'abc'), "
                   "('X', NULL)"_s);
        dati.comboInit();
        QList<int> lette;
        for (const PistaCatalogo &p : dati.piste()) lette.append(p.lunghezza);
        QCOMPARE(lette, (QList<int>{0, 800, 32767, 1200, 1202, 1000, 0, 100, 102, 0, 0}));
    }

    void nomiDeiPiloti()
    {
        DatiIniziali dati(db_, messaggi_);
        const QString doppi = u"Ogni pilota deve avere un nome diverso: questi hanno lo stesso nome\n"_s;
        // Names as typed up to the first box of blanks; none without a first one; no two the same, whatever
        // the case (full folding: a final sigma is a sigma) or the way an accent was typed.
        for (const auto &[nomi, presi, messaggio] : QList<std::tuple<QStringList, QStringList, QString>>{
                 {{"D'Alfa ", " Beta", "Gamma"}, {"D'Alfa ", " Beta", "Gamma"}, ""},
                 {{"Alfa", "   ", "Alfa"}, {"Alfa"}, ""},
                 {{" \t ", "Beta"}, {}, "Non è stato inserito il pilota"},
                 {{"Alfa", "Beta", " alfa ", "BETA", "Gamma", "ALFA"}, {},
                  doppi + "Pilota 1, Pilota 3, Pilota 6: Alfa\nPilota 2, Pilota 4: Beta"},
                 {{u"Σίσυφος"_s, u"ΣΊΣΥΦΟΣ"_s}, {}, doppi + u"Pilota 1, Pilota 2: Σίσυφος"_s},
                 {{"Beta", u"Ölaf"_s, u"o\u0308laf"_s}, {}, doppi + u"Pilota 2, Pilota 3: Ölaf"_s}}) {
            messaggi_.mostrati.clear();
            const std::optional<QStringList> letti = dati.pilotiInseriti(nomi);
            QCOMPARE(letti.value_or(QStringList()), presi);
            QCOMPARE(messaggi_.ultimo(), messaggio);
            QCOMPARE(letti.has_value(), messaggio.isEmpty());
        }
    }

    void okConInvioELaPistaMostrata()
    {
        RilevaAvvio w(db_, messaggi_);
        QVERIFY(mostra(w));
        QSignalSpy avvia(&w, &RilevaAvvio::avvia);
        // Return or the keypad's Enter in any name box presses "&Ok".
        QTest::keyClick(w.datiTxt(0), Qt::Key_Return);
        QTest::keyClick(w.datiTxt(3), Qt::Key_Enter);
        QCOMPARE(messaggi_.mostrati.size(), 2);
        QCOMPARE(messaggi_.ultimo(), u"Non è stato inserito il pilota"_s);
        QVERIFY(avvia.isEmpty() && w.isVisible());
        // Drivers up to the first empty box. What the track box shows after typing is the track
        // the session gets, whatever the case typed; a name not in the list is no track.
        db_.esegui(u"INSERT INTO Piste (pista, lunghezza) VALUES ('Circuito Interno', 900)"_s);
        w.comboInit();
        for (int i : {0, 1, 3}) QTest::keyClicks(w.datiTxt(i), u"D'Alfa %1"_s.arg(i));
        for (const auto &[digitato, mostrato, metri] : {std::tuple{"Circ", "Circuito Interno", 900}, {"circ", "Circuito Interno", 900},
                                                        {"SANT'ANNA", "Sant'Anna", 800}, {"Circx", "Circx", 0}}) {
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            w.datiCmb()->lineEdit()->setFocus();
            w.datiCmb()->lineEdit()->selectAll();
            QTest::keyClicks(w.datiCmb()->lineEdit(), digitato);
            QCOMPARE(w.datiCmb()->currentText(), mostrato);
            QTest::mouseClick(w.actionbtn(0), Qt::LeftButton);
            QCOMPARE(globale().nomePista, metri ? mostrato : "");
            QVERIFY(globale().lunghezzaPista == metri && !w.isVisible());
        }
        QCOMPARE(avvia.value(0).value(0).toStringList(), (QStringList{"D'Alfa 0", "D'Alfa 1"}));
        QCOMPARE(w.datiCmb()->count(), 3); // typed text never joins the list
    }

    void editorDellePiste()
    {
        RilevaAvvio w(db_, messaggi_);
        QVERIFY(mostra(w));
        // A new name is added; an existing one asks first: Yes changes that track and no other, No leaves it.
        messaggi_.risposte = {Messaggi::Risposta::Si, Messaggi::Risposta::No};
        for (const auto &[nome, lunghezza] :
             {std::pair{u"L'Aquila"_s, u"950"_s}, {u"Sant'Anna"_s, u" 810 "_s}, {u"Pista Nord"_s, u"1"_s}}) {
            QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
            salva(w, nome, lunghezza);
            QVERIFY(w.nuovaPistaFrm()->isHidden() && w.datiCmb()->isEnabled() && w.actionbtn(1)->isEnabled());
        }
        QCOMPARE(messaggi_.mostrati.size(), 2);
        for (const auto &m : messaggi_.mostrati)
            QVERIFY2(m.testo == u" Pista già presente nel database !!! \n\n Vuoi modifcare i dati ? "_s
                         && m.pulsanti == Messaggi::Pulsanti::SiNo && m.icona == Messaggi::Icona::Nessuna, qPrintable(m.testo));
        QCOMPARE(catalogo(db_), u"Pista Nord 1200, Sant'Anna 810, L'Aquila 950"_s);
        QVERIFY(w.datiCmb()->itemText(2) == u"L'Aquila"_s && w.dati().pistaDellaLista(1).lunghezza == 810);
        // An engine error is shown and keeps the editor open, the catalogue as it was.
        QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
        QVERIFY(!w.actionbtn(0)->isEnabled() && !w.actionbtn(1)->isEnabled() && !w.datiCmb()->isEnabled());
        db_.esegui(u"CREATE TRIGGER guasto BEFORE UPDATE ON Piste BEGIN SELECT RAISE(ABORT, 'sola lettura'); END"_s);
        salva(w, u"Pista Nord"_s, u"5"_s);
        QCOMPARE(messaggi_.ultimo(), u"Errore del database: sola lettura"_s);
        QVERIFY(w.nuovaPistaFrm()->isVisible() && catalogo(db_) == u"Pista Nord 1200, Sant'Anna 810, L'Aquila 950"_s);
        // Deleting takes every row of the name, a message each, and leaves the editor open and filled.
        messaggi_.mostrati.clear();
        db_.esegui(u"INSERT INTO Piste (pista, lunghezza) VALUES ('Sant''Anna', 5)"_s);
        for (const QString &nome : {u"Nessuna"_s, QString(), u"Sant'Anna"_s}) {
            w.text2(0)->setText(nome);
            QTest::mouseClick(w.cancellabtn(), Qt::LeftButton);
        }
        QCOMPARE(messaggi_.mostrati.size(), 3);
        QCOMPARE(messaggi_.mostrati[0].testo, u" Inserire il nome della pista !!!"_s);
        QCOMPARE(messaggi_.mostrati[0].icona, Messaggi::Icona::Esclamazione);
        QCOMPARE(messaggi_.ultimo(), u" Pista Cancellata !!!"_s);
        QCOMPARE(catalogo(db_), u"Pista Nord 1200, L'Aquila 950"_s);
        QCOMPARE(w.datiCmb()->count(), 2);
        QVERIFY(w.nuovaPistaFrm()->isVisible() && w.text2(0)->text() == u"Sant'Anna"_s);
        QTest::mouseClick(w.actionbtn(3), Qt::LeftButton);
        QVERIFY(w.nuovaPistaFrm()->isHidden() && w.actionbtn(0)->isEnabled());
    }
};

QTEST_MAIN(TestRilevaAvvio)
#include "tst_rilevaavvio.moc"

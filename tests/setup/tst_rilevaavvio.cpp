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

using Risposta = Messaggi::Risposta;
using Icona = Messaggi::Icona;

namespace {
const QString incompleti = QStringLiteral(" I dati della pista non sono completi !!!");
const QString numerico = QStringLiteral(" La lunghezza della pista deve essere in formato numerico !!! ");
const QString presente =
    QStringLiteral(" Pista già presente nel database !!! \n\n Vuoi modifcare i dati ? ");

QList<QPair<QString, int>> catalogo(Database &db)
{
    QList<QPair<QString, int>> righe;
    Istruzione q = db.prepara("SELECT pista, lunghezza FROM Piste ORDER BY id");
    while (q.passo()) righe.append({q.testo(0), int(q.intero(1))});
    return righe;
}
} // namespace

class TestRilevaAvvio : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    Database db_;
    MessaggiFinti messaggi_;
    int prova_ = 0;

    void svuotaCatalogo() { db_.esegui(QStringLiteral("DELETE FROM Piste")); }
    void aggiungi(const QString &nome, const QVariant &lunghezza)
    {
        Istruzione i = db_.prepara("INSERT INTO Piste (pista, lunghezza) VALUES (?, ?)");
        i.lega(1, nome).lega(2, lunghezza);
        i.esegui();
    }

private slots:
    void init()
    {
        messaggi_.mostrati.clear();
        messaggi_.risposte.clear();
        QVERIFY(schema::apriDatabase(db_, cartella_.filePath(QStringLiteral("a%1.mb").arg(++prova_))));
        svuotaCatalogo();
        aggiungi(QStringLiteral("Pista Nord"), 1200);
        aggiungi(QStringLiteral("Sant'Anna"), 800);
    }
    void cleanup() { db_.chiudi(); }

    void aggiuntaECambioDellaPista()
    {
        DatiIniziali dati(db_, messaggi_);
        QVERIFY(dati.nuovaPista(QStringLiteral("L'Aquila"), QStringLiteral("950")));
        QVERIFY(messaggi_.mostrati.isEmpty());
        QCOMPARE(dati.nomiPiste(), (QStringList{"Pista Nord", "Sant'Anna", "L'Aquila"}));

        // An existing name asks first; Yes changes that track and no other.
        messaggi_.risposte = {Risposta::Si};
        QVERIFY(dati.nuovaPista(QStringLiteral("Sant'Anna"), QStringLiteral(" 810 ")));
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QCOMPARE(messaggi_.mostrati[0].testo, presente);
        QCOMPARE(messaggi_.mostrati[0].pulsanti, Messaggi::Pulsanti::SiNo);
        QCOMPARE(messaggi_.mostrati[0].icona, Icona::Nessuna);
        QCOMPARE(catalogo(db_), (QList<QPair<QString, int>>{
                                    {"Pista Nord", 1200}, {"Sant'Anna", 810}, {"L'Aquila", 950}}));
        QCOMPARE(dati.pistaDellaLista(1).lunghezza, 810);

        // No leaves it, and the editor is still done with it.
        messaggi_.risposte = {Risposta::No};
        QVERIFY(dati.nuovaPista(QStringLiteral("Pista Nord"), QStringLiteral("1")));
        QCOMPARE(messaggi_.mostrati.size(), 2);
        QCOMPARE(catalogo(db_).first(), (QPair<QString, int>{"Pista Nord", 1200}));
    }

    void lunghezzeRifiutate_data()
    {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("lunghezza");
        QTest::addColumn<QString>("messaggio");
        QTest::newRow("nome vuoto") << "" << "100" << incompleti;
        QTest::newRow("lunghezza vuota") << "Nuova" << "" << incompleti;
        QTest::newRow("lettere") << "Nuova" << "abc" << numerico;
        QTest::newRow("decimali") << "Nuova" << "12.5" << numerico;
        QTest::newRow("negativa") << "Nuova" << "-5" << numerico;
        QTest::newRow("oltre 16 bit") << "Nuova" << "32768" << numerico;
        QTest::newRow("cambio oltre 16 bit") << "Pista Nord" << "40000" << numerico;
        QTest::newRow("cambio non numerico") << "Sant'Anna" << "lunga" << numerico;
    }
    void lunghezzeRifiutate()
    {
        QFETCH(QString, nome);
        QFETCH(QString, lunghezza);
        QFETCH(QString, messaggio);
        DatiIniziali dati(db_, messaggi_);
        dati.comboInit();
        const auto prima = catalogo(db_);
        QVERIFY(!dati.nuovaPista(nome, lunghezza));
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QCOMPARE(messaggi_.ultimo(), messaggio);
        QCOMPARE(messaggi_.mostrati[0].icona, messaggio == incompleti ? Icona::Esclamazione : Icona::Nessuna);
        QCOMPARE(catalogo(db_), prima);
        QVERIFY(dati.nuovaPista(QStringLiteral("Limite"), QStringLiteral("32767")));
        QCOMPARE(catalogo(db_).last().second, 32767);
    }

    void cancellazione()
    {
        DatiIniziali dati(db_, messaggi_);
        aggiungi(QStringLiteral("Sant'Anna"), 5); // a duplicate left by an older catalogue
        dati.cancellaPista(QStringLiteral("Sant'Anna"));
        QCOMPARE(messaggi_.mostrati.size(), 2);
        QCOMPARE(messaggi_.ultimo(), QStringLiteral(" Pista Cancellata !!!"));
        QCOMPARE(dati.nomiPiste(), QStringList{"Pista Nord"});
        dati.cancellaPista(QStringLiteral("Nessuna"));
        QCOMPARE(messaggi_.mostrati.size(), 2);
        dati.cancellaPista(QString());
        QCOMPARE(messaggi_.ultimo(), QStringLiteral(" Inserire il nome della pista !!!"));
        QCOMPARE(messaggi_.mostrati.last().icona, Icona::Esclamazione);
        QCOMPARE(catalogo(db_).size(), 1);
    }

    void lunghezzeGiaNelFile()
    {
        svuotaCatalogo();
        aggiungi(QStringLiteral("Enorme"), 100000);
        aggiungi(QStringLiteral("Mezza"), 100.5);
        aggiungi(QStringLiteral("Mezza2"), 101.5);
        aggiungi(QStringLiteral("Testo"), QStringLiteral("abc"));
        aggiungi(QStringLiteral("Nulla"), QVariant());
        DatiIniziali dati(db_, messaggi_);
        dati.comboInit();
        QCOMPARE(dati.piste().size(), 5);
        QCOMPARE(dati.pistaDellaLista(0).lunghezza, 0);
        QCOMPARE(dati.pistaDellaLista(1).lunghezza, 100);
        QCOMPARE(dati.pistaDellaLista(2).lunghezza, 102);
        QCOMPARE(dati.pistaDellaLista(3).lunghezza, 0);
        QCOMPARE(dati.pistaDellaLista(4).lunghezza, 0);
        QCOMPARE(dati.pistaDellaLista(-1).nome, QString());
        QCOMPARE(dati.pistaDellaLista(5).lunghezza, 0);
    }

    void piloti()
    {
        DatiIniziali dati(db_, messaggi_);
        QCOMPARE(dati.pilotiInseriti({"A", "B", "", "D", "", "", "", ""}), (QStringList{"A", "B"}));
        QVERIFY(messaggi_.mostrati.isEmpty());
        QCOMPARE(dati.pilotiInseriti({"1", "2", "3", "4", "5", "6", "7", "8"})->size(), 8);
        QVERIFY(!dati.pilotiInseriti({"", "B", "C", "", "", "", "", ""}));
        QCOMPARE(messaggi_.ultimo(), QStringLiteral("Non è stato inserito il pilota"));
        QCOMPARE(messaggi_.mostrati.last().icona, Icona::Nessuna);
    }

    void erroreDelMotoreNelCatalogo()
    {
        DatiIniziali dati(db_, messaggi_);
        db_.esegui(QStringLiteral("CREATE TRIGGER guasto BEFORE UPDATE ON Piste "
                                  "BEGIN SELECT RAISE(ABORT, 'sola lettura per prova'); END"));
        messaggi_.risposte = {Risposta::Si};
        const auto prima = catalogo(db_);
        QVERIFY(!dati.nuovaPista(QStringLiteral("Pista Nord"), QStringLiteral("5")));
        QCOMPARE(messaggi_.ultimo(), QStringLiteral("Errore del database: sola lettura per prova"));
        QCOMPARE(catalogo(db_), prima);
        db_.chiudi();
        dati.comboInit();
        QVERIFY(dati.piste().isEmpty());
        QVERIFY(!dati.nuovaPista(QStringLiteral("X"), QStringLiteral("5")));
        QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Errore del database: ")));
    }

    // ---- the window

    void finestraOkConInvio()
    {
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        QCOMPARE(w.windowTitle(), QStringLiteral("Inserimento dati iniziali"));
        QCOMPARE(w.datiCmb()->currentText(), QStringLiteral("Pista Nord"));
        QVERIFY(!w.azioneSave()->isEnabled());
        QCOMPARE(w.azioneLoad()->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
        QVERIFY(w.nuovaPistaFrm()->isHidden());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy avvia(&w, &RilevaAvvio::avvia);

        // Enter with no driver: the message, nothing else.
        QTest::keyClick(w.datiTxt(0), Qt::Key_Return);
        QCOMPARE(messaggi_.ultimo(), QStringLiteral("Non è stato inserito il pilota"));
        QCOMPARE(avvia.size(), 0);
        QVERIFY(w.isVisible());

        QTest::keyClicks(w.datiTxt(0), QStringLiteral("D'Alfa"));
        QTest::keyClicks(w.datiTxt(1), QStringLiteral("Beta"));
        QTest::keyClicks(w.datiTxt(3), QStringLiteral("Delta"));
        w.datiCmb()->setCurrentIndex(1);
        QTest::keyClick(w.datiTxt(3), Qt::Key_Enter);
        QCOMPARE(avvia.size(), 1);
        QCOMPARE(avvia[0][0].toStringList(), (QStringList{"D'Alfa", "Beta"}));
        QCOMPARE(globale().nomePista, QStringLiteral("Sant'Anna"));
        QCOMPARE(globale().lunghezzaPista, 800);
        QVERIFY(!w.isVisible());
    }

    void pistaScrittaFuoriLista()
    {
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy avvia(&w, &RilevaAvvio::avvia);
        w.datiTxt(0)->setText(QStringLiteral("Alfa"));
        w.datiCmb()->setFocus();
        w.datiCmb()->lineEdit()->selectAll();
        QTest::keyClicks(w.datiCmb()->lineEdit(), QStringLiteral("Pista Inventata"));
        QTest::keyClick(w.datiCmb()->lineEdit(), Qt::Key_Return);
        QCOMPARE(avvia.size(), 1);
        QCOMPARE(w.datiCmb()->count(), 2); // typed text never joins the list
        QCOMPARE(globale().nomePista, QString());
        QCOMPARE(globale().lunghezzaPista, 0);
    }

    void ordineDiTabulazione()
    {
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.datiTxt(0)->setFocus();
        const QList<QWidget *> attesi = {w.datiTxt(1), w.datiTxt(2), w.datiTxt(3), w.actionbtn(0),
                                         w.datiCmb(), w.actionbtn(2), w.actionbtn(1), w.datiTxt(4),
                                         w.datiTxt(5), w.datiTxt(6), w.datiTxt(7)};
        for (QWidget *atteso : attesi) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *f = QApplication::focusWidget();
            // The editable combo's focus sits in its line edit.
            if (f && f->parentWidget() == w.datiCmb()) f = w.datiCmb();
            QCOMPARE(f, atteso);
        }
    }

    void editorDellePiste()
    {
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
        QVERIFY(w.nuovaPistaFrm()->isVisible());
        QVERIFY(!w.datiCmb()->isEnabled());
        QVERIFY(!w.actionbtn(0)->isEnabled());
        QVERIFY(!w.actionbtn(1)->isEnabled());
        // Enter does not start a session while the editor is open.
        QSignalSpy avvia(&w, &RilevaAvvio::avvia);
        w.datiTxt(0)->setText(QStringLiteral("Alfa"));
        QTest::keyClick(w.text2(0), Qt::Key_Return);
        QCOMPARE(avvia.size(), 0);

        QTest::keyClicks(w.text2(0), QStringLiteral("Monte d'Oro"));
        QTest::keyClicks(w.text2(1), QStringLiteral("abc"));
        QTest::mouseClick(w.actionbtn(4), Qt::LeftButton);
        QCOMPARE(messaggi_.ultimo(), numerico);
        QVERIFY(w.nuovaPistaFrm()->isVisible());
        QCOMPARE(w.datiCmb()->count(), 2);

        w.text2(1)->setText(QStringLiteral("1500"));
        w.datiCmb()->setCurrentIndex(1);
        QTest::mouseClick(w.actionbtn(4), Qt::LeftButton);
        QVERIFY(w.nuovaPistaFrm()->isHidden());
        QVERIFY(w.datiCmb()->isEnabled() && w.actionbtn(0)->isEnabled() && w.actionbtn(1)->isEnabled());
        QCOMPARE(w.datiCmb()->count(), 3);
        QCOMPARE(w.datiCmb()->itemText(2), QStringLiteral("Monte d'Oro"));
        QCOMPARE(w.datiCmb()->currentIndex(), 0);

        // Deleting keeps the editor open and its boxes filled.
        QTest::mouseClick(w.actionbtn(2), Qt::LeftButton);
        QTest::mouseClick(w.cancellabtn(), Qt::LeftButton);
        QCOMPARE(messaggi_.ultimo(), QStringLiteral(" Pista Cancellata !!!"));
        QCOMPARE(w.datiCmb()->count(), 2);
        QVERIFY(w.nuovaPistaFrm()->isVisible());
        QCOMPARE(w.text2(0)->text(), QStringLiteral("Monte d'Oro"));
        QTest::mouseClick(w.actionbtn(3), Qt::LeftButton);
        QVERIFY(w.nuovaPistaFrm()->isHidden());
        QVERIFY(w.actionbtn(0)->isEnabled());
    }

    void catalogoVuotoOLungo()
    {
        svuotaCatalogo();
        {
            RilevaAvvio w(db_, messaggi_);
            w.carica();
            QCOMPARE(w.datiCmb()->count(), 0);
            QSignalSpy avvia(&w, &RilevaAvvio::avvia);
            w.datiTxt(0)->setText(QStringLiteral("Alfa"));
            w.actionbtnClick(0);
            QCOMPARE(avvia.size(), 1);
            QCOMPARE(globale().nomePista, QString());
        }
        for (int i = 1; i <= 150; ++i) aggiungi(QStringLiteral("Pista %1").arg(i), i);
        RilevaAvvio w(db_, messaggi_);
        w.carica();
        QCOMPARE(w.datiCmb()->count(), 150);
        w.datiCmb()->setCurrentIndex(149);
        w.datiTxt(0)->setText(QStringLiteral("Alfa"));
        w.actionbtnClick(0);
        QCOMPARE(globale().nomePista, QStringLiteral("Pista 150"));
        QCOMPARE(globale().lunghezzaPista, 150);
        QVERIFY(messaggi_.mostrati.isEmpty());
    }
};

QTEST_MAIN(TestRilevaAvvio)
#include "tst_rilevaavvio.moc"

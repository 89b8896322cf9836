// The race day's windows on a real file: lights and next-up panel on the timing window, the event,
// penalty and championship windows, the race on the live page.
#include "aiuti.h"
#include "archiviodiretto.h"
#include "database/schema.h"
#include "gara/direzionegara.h"
#include "gara/gestionegare.h"
#include "gara/uscitegara.h"
#include "comune/impostazioni.h"
#include "gara/impostazionigara.h"
#include "gara/testigara.h"
#include "garaui/dialogopartenza.h"
#include "garaui/dialogopenalita.h"
#include "garaui/finestracampionato.h"
#include "garaui/finestragara.h"
#include "garaui/lucipartenza.h"
#include "garaui/prossimamanche.h"
#include "garaui/vistagara.h"
#include "lavoridiretti.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "timing/rilevago.h"
#include "web/statopagina.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

namespace {

struct Fissa : FonteCasuale {
    double tra(double, double) override { return 1.0; }
};

// A timing database with its race control, as the program wires them, on a clock moved by hand.
struct Banco {
    QTemporaryDir cartella;
    Database db;
    MessaggiFinti messaggi;
    OrologioManuale orologio{100.0};
    Fissa casuale;
    UsciteNulle uscite;
    LavoriDiretti lavori{db};
    ArchivioGara ag{db};
    QString errore;
    Banco() { schema::apriDatabase(db, cartella.filePath(u"saettinopro.mb"_s)); }
    qint64 evento(int piloti, quint8 corsie = 0x0F, qint64 campionato = 0)
    {
        Gara g;
        g.nome = u"Serata %1"_s.arg(piloti);
        g.data = QDate(2026, 12, 12);
        g.regole.tipo = TipoSessione::GaraAGiri;
        g.regole.giri = 1;
        g.corsie = corsie;
        g.campionato = campionato;
        const qint64 id = ag.creaGara(g, &errore);
        for (int k = 0; k < piloti; ++k) ag.iscrivi({0, id, u"Pilota %1"_s.arg(QChar(u'A' + k))}, &errore);
        ag.generaProgramma(id, &errore);
        return id;
    }
};

QString cella(QTableWidget *t, int r, int c) { return t->item(r, c) ? t->item(r, c)->text() : QString(); }

// Where on the lights widget the centre of lamp k is: as it draws them.
QPoint centro(const QWidget &w, int k)
{
    return QPoint(int(w.width() / 5.0 * (k + 0.5)), int(w.height() * 0.56));
}

} // namespace

class TstGaraUi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QDir().mkpath(u"uscita-prova"_s); }

    // Lights lit from the left and the next-up panel's lanes; both left as pictures for the manual.
    void luciEProssimaManche()
    {
        LuciPartenza luci;
        luci.resize(900, 420);
        luci.impostaTitolo(u"Manche 3 di 10 - Gara a giri, 10 giri"_s);
        luci.impostaLuci(3);
        luci.impostaTesto(u""_s);
        const QImage immagine = luci.grab().toImage();
        for (int k = 0; k < 5; ++k) {
            const QColor c = immagine.pixelColor(centro(luci, k));
            QVERIFY2(k < 3 ? c.red() > 200 && c.green() < 130 : c.red() < 80, qPrintable(QString::number(k)));
        }
        QVERIFY(immagine.save(u"uscita-prova/luci-partenza.png"_s));
        PannelloProssimaManche prossima;
        prossima.resize(900, 520);
        prossima.mostra(u"Prossima manche: 4 di 10"_s, u"Gara a giri, 10 giri"_s,
                        {{0, u"Mario Rossi"_s}, {1, u"Luca Bianchi"_s}, {2, u"Anna Verdi"_s}, {3, u"Paolo Neri"_s}});
        QCOMPARE(prossima.righe(), (QStringList{"Corsia 1: Mario Rossi", "Corsia 2: Luca Bianchi", "Corsia 3: Anna Verdi",
                                                "Corsia 4: Paolo Neri"}));
        QVERIFY(prossima.grab().save(u"uscita-prova/prossima-manche.png"_s));
    }

    // Race control drawn on the timing window: the panel only with an event; next up between heats,
    // F6 puts the heat on its lanes, F5 the lights, "VIA!" at lights out; the live page follows.
    // (The lanes a heat takes and false starts by key are race control's and the evening's suites'.)
    void vistaSullaFinestraDeiTempi()
    {
        Banco b;
        ArchivioDiretto tempi(b.db);
        RilevaGo w(b.orologio, b.messaggi, tempi);
        DirezioneGara d(b.orologio, b.lavori, b.uscite, b.casuale);
        VistaGara vista(w, d, b.messaggi);
        w.inizializza();
        d.segui(&w.sessione());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(vista.pannello()->isHidden() && vista.prossima()->isHidden());

        const qint64 id = b.evento(5, 0b1011); // lane 3 switched off
        QSignalSpy pronta(&d, &DirezioneGara::pronta);
        d.apriGara(id);
        QVERIFY(pronta.wait(2000));
        QVERIFY(vista.pannello()->isVisible() && vista.prossima()->isVisible());
        QCOMPARE(vista.prossima()->titolo(), u"Prossima manche: 1 di 5"_s);
        const QStringList prossimi = vista.prossima()->righe();
        QCOMPARE(prossimi.size(), 3);
        QTest::keyClick(&w, Qt::Key_F6);
        QCOMPARE(d.fase(), DirezioneGara::Fase::Pronta);
        QCOMPARE(vista.prossima()->titolo(), u"In griglia: manche 1 di 5"_s);
        QVERIFY(w.grab().save(u"uscita-prova/finestra-griglia.png"_s));
        QCOMPARE(u"Corsia %1: %2"_s.arg(4).arg(w.sessione().corsia(3).nome), prossimi[2]);
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(d.fase(), DirezioneGara::Fase::Partenza);
        QVERIFY(vista.luci()->isVisible() && vista.prossima()->isHidden());
        QCOMPARE(vista.luci()->testo(), u"Partenza tra 5"_s);
        b.orologio.imposta(106.5);
        d.aggiorna();
        QCOMPARE(vista.luci()->luci(), 2);
        QVERIFY(w.grab().save(u"uscita-prova/finestra-luci.png"_s));
        b.orologio.imposta(110);
        d.aggiorna();
        QCOMPARE(d.fase(), DirezioneGara::Fase::InCorso);
        QCOMPARE(vista.luci()->testo(), u"VIA!"_s);
        QTRY_VERIFY(vista.luci()->isHidden()); // "VIA!" stays a moment, then the lanes show
        QVERIFY(vista.stato()->text() == u"In corso"_s && vista.rimanente()->text() == u"Ultimo giro"_s);
        // The live page carries the race.
        const FotoGara foto = fotoGara(vista.ultimo());
        QCOMPARE(foto.gara, u"Serata 5"_s);
        QCOMPARE(foto.manche, u"Manche 1 di 5 - Gara a giri, 1 giro"_s);
        QCOMPARE(foto.classifica.size(), 3);
        StatoPagina pagina;
        pagina.sessione.gara = foto;
        const QJsonObject json = QJsonDocument::fromJson(pagina::json(pagina)).object()[u"gara"_s].toObject();
        QCOMPARE(json[u"stato"_s].toString(), u"In corso"_s);
        QCOMPARE(json[u"classifica"_s].toArray().size(), 3);
        QVERIFY(!pagina::html(pagina).contains("id=\"sezione-gara\" hidden"));
        QVERIFY(pagina::html(StatoPagina{}).contains("id=\"sezione-gara\" hidden"));
        // F8 calls the track, F8 again starts the restart countdown.
        QTest::keyClick(&w, Qt::Key_F8);
        QCOMPARE(d.fase(), DirezioneGara::Fase::Neutralizzata);
        QCOMPARE(vista.stato()->text(), u"Neutralizzazione"_s);
        QTest::keyClick(&w, Qt::Key_F8);
        QVERIFY(vista.luci()->isVisible());
        QCOMPARE(vista.luci()->testo(), u"Si riparte tra 5"_s);
    }

    // The event window shows what the file refuses (its messages are pinned down by the race file's
    // suite); the schedule edited by hand is stored in its new order, a driver on two lanes changes nothing.
    void finestraGara()
    {
        Banco b;
        GestioneGare gestione(b.lavori);
        FinestraGara f(gestione, nullptr, b.orologio, b.messaggi);
        f.apri(0);
        QTRY_VERIFY(gestione.letto());
        f.show();
        f.nome()->setText(u"Coppa"_s);
        for (int k = 0; k < corsieMassime; ++k) f.corsia(k)->setChecked(false);
        f.tipo()->setCurrentIndex(int(TipoSessione::GaraAGiri));
        f.valore()->setText(u"10"_s);
        f.pulsante(u"salvaGaraBtn"_s)->click();
        QTRY_COMPARE(b.messaggi.ultimo(), u"Tutte le corsie sono disattivate: attivarne almeno una per preparare le manche."_s);
        QCOMPARE(righe(b.db, u"SELECT count(*) FROM Gare"_s), (Righe{{0}}));
        for (int k : {0, 1, 2, 3}) f.corsia(k)->setChecked(true);
        f.pulsante(u"salvaGaraBtn"_s)->click();
        QTRY_COMPARE(f.gare()->count(), 1);
        QVERIFY(gestione.stato().gara && gestione.stato().gara->corsie == 0x0F && gestione.stato().gara->regole.giri == 10);

        for (const QString &nome : {u"Mario Rossi"_s, u"Luca Bianchi"_s, u"mario  ROSSI"_s, u"Anna Verdi"_s, u"Paolo Neri"_s,
                                    u"Sara Gialli"_s}) {
            f.nomeIscritto()->setText(nome);
            f.pulsante(u"iscriviBtn"_s)->click();
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(f.iscritti()->rowCount(), 5); // "mario  ROSSI" refused

        f.schede()->setCurrentIndex(FinestraGara::SchedaProgramma);
        f.pulsante(u"generaBtn"_s)->click();
        QTRY_COMPARE(f.programma()->rowCount(), 5);
        const QVector<Manche> prima = b.ag.manche(gestione.stato().gara->id);
        // Heat 1: the driver of lane 1 put on lane 2 too.
        QTableWidget *t = f.programma();
        const QString primo = cella(t, 0, 3);
        t->item(0, 4)->setText(primo);
        f.pulsante(u"salvaProgrammaBtn"_s)->click();
        QTRY_VERIFY(b.messaggi.ultimo().startsWith(u"Manche 1: %1 è su due corsie (corsia 1 e corsia 2)."_s.arg(primo)));
        QCOMPARE(b.ag.manche(gestione.stato().gara->id)[0].corsie, prima[0].corsie);
        // Moved down: heat 1's drivers now run second.
        QVERIFY(cella(f.programma(), 0, 4) != primo);
        QCOMPARE(cella(f.programma(), 0, 3), primo); // shown again as the file has it
        f.programma()->setCurrentCell(0, 3);
        f.pulsante(u"giuBtn"_s)->click();
        QCOMPARE(cella(f.programma(), 1, 3), primo);
        QCOMPARE(cella(f.programma(), 0, 0), u"1"_s); // the number stays with the place
        f.pulsante(u"salvaProgrammaBtn"_s)->click();
        QTRY_COMPARE(b.ag.manche(gestione.stato().gara->id)[1].corsie, prima[0].corsie);
        QCOMPARE(b.ag.manche(gestione.stato().gara->id)[0].corsie, prima[1].corsie);
    }

    // What the penalty dialog refuses before anything is stored, and a refusal of the file shown in it.
    void dialogoPenalita_data()
    {
        QTest::addColumn<int>("tipo");
        QTest::addColumn<QString>("quantita");
        QTest::addColumn<QString>("motivo");
        QTest::addColumn<QString>("errore");
        QTest::newRow("no reason") << int(TipoVoce::Giri) << u"-1"_s << u" "_s << u"Indicare il motivo della penalità."_s;
        QTest::newRow("no laps") << int(TipoVoce::Giri) << u"zero"_s << u"taglio"_s
                                 << u"Indicare di quanti giri è la penalità, per esempio -1 o +2."_s;
        QTest::newRow("half a lap") << int(TipoVoce::Giri) << u"-0,5"_s << u"taglio"_s
                                    << u"I giri di penalità sono un numero intero, per esempio -1."_s;
        QTest::newRow("0 seconds") << int(TipoVoce::Secondi) << u"0"_s << u"taglio"_s
                                   << u"Indicare di quanti secondi è la penalità, per esempio +1 o -0,5."_s;
        QTest::newRow("seconds") << int(TipoVoce::Secondi) << u"+1,5"_s << u"contatto"_s << QString();
        QTest::newRow("disqualified") << int(TipoVoce::Squalifica) << QString() << u"comportamento"_s << QString();
    }
    void dialogoPenalita()
    {
        QFETCH(int, tipo);
        QFETCH(QString, quantita);
        QFETCH(QString, motivo);
        QFETCH(QString, errore);
        Gara g;
        g.id = 7;
        Manche m;
        m.id = 3;
        m.numero = 2;
        m.corsie[1] = 11;
        QVector<Sanzione> inviate;
        DialogoPenalita d(g, {{10, 7, u"Alfa"_s}, {11, 7, u"Beta"_s}}, m, [&](const Sanzione &s, auto esito) {
            inviate << s;
            esito(false, u"La penalità non è stata data: rifiutata."_s);
        });
        QCOMPARE(d.pilota()->itemText(0), u"Beta (corsia 2)"_s); // the heat's drivers first
        d.tipo()->setCurrentIndex(d.tipo()->findData(tipo));
        if (!quantita.isNull()) d.quantita()->setText(quantita);
        d.motivo()->setText(motivo);
        d.conferma()->click();
        if (!errore.isEmpty()) {
            QCOMPARE(d.esito()->text(), errore);
            QVERIFY(inviate.isEmpty());
            return;
        }
        QCOMPARE(inviate.size(), 1);
        QCOMPARE(inviate[0].pilota, u"Beta"_s);
        QCOMPARE(inviate[0].manche, 3);
        QCOMPARE(inviate[0].secondi, tipo == int(TipoVoce::Secondi) ? 1.5 : 0.0);
        QCOMPARE(d.esito()->text(), u"La penalità non è stata data: rifiutata."_s); // the dialog stays
        QVERIFY(d.result() != QDialog::Accepted);
    }

    // The championship window: a points table that is no table is refused (the rules' suite has the
    // reasons); the standings of its events with the dropped result in brackets.
    void finestraCampionato()
    {
        Banco b;
        GestioneGare gestione(b.lavori);
        FinestraCampionato f(gestione, b.messaggi);
        f.apri(0);
        QTRY_VERIFY(gestione.letto());
        QCOMPARE(f.punti()->text(), u"10-8-6-5-4-3-2-1"_s);
        f.nome()->setText(u"Trofeo"_s);
        f.punti()->setText(u"10-x-6"_s);
        f.pulsante(u"salvaBtn"_s)->click();
        QCOMPARE(b.messaggi.ultimo(), u"Punti non validi: \"x\" non è un numero intero."_s);
        QCOMPARE(righe(b.db, u"SELECT count(*) FROM Campionati"_s), (Righe{{0}}));
        f.punti()->setText(u"3, 2, 1"_s);
        f.scarti()->setValue(1);
        f.pulsante(u"salvaBtn"_s)->click();
        QTRY_COMPARE(f.campionati()->count(), 1);
        const qint64 c = gestione.stato().campionato->id;
        QCOMPARE(gestione.stato().campionato->punti.punti, (QVector<int>{3, 2, 1}));
        // Two events of two drivers, each won by a different one.
        for (int e = 0; e < 2; ++e) {
            const qint64 id = b.evento(2, 0b11, c);
            const Manche m = b.ag.manche(id)[0];
            QVERIFY(b.ag.avviaManche(m.id, 10, &b.errore));
            ArchivioDiretto tempi(b.db);
            const QString vince = e == 0 ? u"Pilota A"_s : u"Pilota B"_s;
            GiroCompletato g{vince, tempi.contaGiri(vince) + 1, 5, QString(), QString(), QDateTime(QDate(2026, 12, 12 + e), QTime(21, 0))};
            g.istante = 15;
            g.manche = m.id;
            tempi.memorizza(g);
            QVERIFY(b.ag.chiudiManche(m.id, 20, &b.errore));
        }
        gestione.aggiorna();
        QTRY_COMPARE(f.classifica()->rowCount(), 2);
        QCOMPARE(f.classifica()->columnCount(), 7);
        // Each won one: 3 and a dropped (2) each; level on points and places, the latest event decides.
        QCOMPARE(cella(f.classifica(), 0, 1), u"Pilota B"_s);
        QCOMPARE(cella(f.classifica(), 0, 4), u"3"_s);
        QCOMPARE(cella(f.classifica(), 0, 2), u"(2)"_s);
        QCOMPARE(cella(f.classifica(), 1, 0), u"2"_s);
        QCOMPARE(cella(f.classifica(), 1, 3), u"(2)"_s);
        QVERIFY(!cella(f.classifica(), 1, 6).isEmpty());
    }

    // A stored hold upside down, or a value that cannot be used, keeps the default; the dialog
    // refuses what is no number (what the start cannot take is the start procedure's suite's).
    void impostazioniDellaPartenza()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(u"utente.ini"_s));
        ImpostazioniGara g;
        g.partenza.intervalloLuci = 0.5;
        g.scrivi(store);
        const ImpostazioniGara letta = ImpostazioniGara::leggi(store);
        store.scrivi(u"Gara"_s, u"AttesaMinima"_s, u"9"_s);
        store.scrivi(u"Gara"_s, u"SecondiRipresa"_s, u"99"_s);
        const ImpostazioniGara storta = ImpostazioniGara::leggi(store);
        QVERIFY(storta.partenza.attesaMinima == 0.2 && storta.partenza.attesaMassima == 3.0 && storta.secondiRipresa == 5);
        DialogoPartenza d(letta);
        QCOMPARE(d.intervallo()->text(), u"0,5"_s);
        QString errore;
        d.attesaMinima()->setText(u"tanto"_s);
        QVERIFY(!d.scelte(&errore));
        QCOMPARE(errore, u"Scrivere i secondi come numeri, per esempio 0,5."_s);
        d.attesaMinima()->setText(u"0,25"_s);
        QCOMPARE(d.scelte(&errore)->partenza.attesaMinima, 0.25);
    }

    // The race's values as every view writes them (states are read back from the views' own suites).
    void testiDellaGara()
    {
        QCOMPARE(descriviRegole({TipoSessione::GaraATempo, 90, 0, 2}), u"Gara a tempo, 1,5 minuti"_s);
        QCOMPARE(descriviRegole({TipoSessione::Qualifica, 600, 0, 2}), u"Qualifica, 10 minuti"_s);
        QCOMPARE(testoSanzioni({-2, 1.5, true}), u"giri -2, secondi +1,500, squalificato"_s);
        RisultatoManche r;
        r.avviata = true;
        r.regole.tipo = TipoSessione::GaraAGiri;
        r.giriAlTermine = 4;
        QCOMPARE(testoRimanente(r), u"Mancano 4 giri"_s);
        r.regole.tipo = TipoSessione::GaraATempo;
        r.giriAlTermine = -1;
        r.tempoRimanente = 150.2;
        QCOMPARE(testoRimanente(r), u"Tempo rimasto 02:31"_s);
        QString errore;
        QCOMPARE(leggiTabellaPunti(u" 25;18 / 15-12 "_s, &errore)->punti, (QVector<int>{25, 18, 15, 12}));
        QVERIFY(!leggiTabellaPunti(u""_s, &errore));
        QCOMPARE(errore, u"La tabella dei punti è vuota: indicare almeno i punti del primo classificato."_s);
        QVERIFY(!leggiNumero(u"inf"_s));
    }
};

QTEST_MAIN(TstGaraUi)
#include "tst_garaui.moc"

// Race control on a real file and a hand-moved clock: heats on their lanes, lights, false starts, calls, finish, penalties.
#include "archiviodiretto.h"
#include "database/schema.h"
#include "gara/direzionegara.h"
#include "gara/uscitegara.h"
#include "timing/uscitedispositivo.h"
#include "lavoridiretti.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "aiuti.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

namespace {

struct Fissa : FonteCasuale {
    double attesa = 1.0;
    double tra(double, double) override { return attesa; }
};

struct UsciteRegistrate : UsciteGara {
    QVector<int> luci;
    QVector<bool> corrente;
    bool impostaLuci(int n) override { luci << n; return true; }
    bool impostaAlimentazione(bool a) override { corrente << a; return true; }
};

// The device on the serial line: what it was sent, or a classic one that refuses.
struct DispositivoRegistrato : UsciteDispositivo {
    bool esteso = true;
    QVector<QPair<quint8, bool>> inviate;
    bool impostaUscite(quint8 luci, bool rele) override
    {
        if (esteso) inviate << qMakePair(luci, rele);
        return esteso;
    }
};

struct Banco {
    QTemporaryDir cartella;
    Database db;
    MessaggiFinti messaggi;
    ArchivioDiretto tempi{db};
    OrologioManuale orologio{100.0};
    Fissa casuale;
    LavoriDiretti lavori{db};
    UsciteRegistrate uscite;
    Sessione sessione{orologio, messaggi, tempi};
    DirezioneGara d{orologio, lavori, uscite, casuale};
    ArchivioGara ag{db};
    QStringList annunci;
    QString errore;

    Banco()
    {
        schema::apriDatabase(db, cartella.filePath(u"saettinopro.mb"_s));
        d.segui(&sessione);
        QObject::connect(&d, &DirezioneGara::annuncio, [this](const QString &t) { annunci << t; });
        QObject::connect(&d, &DirezioneGara::errore, [this](const QString &t) { annunci << u"ERRORE "_s + t; });
    }
    qint64 evento(const QStringList &piloti, const Regole &regole, quint8 corsie, PenalitaFalsaPartenza falsa)
    {
        Gara g;
        g.nome = u"Serata"_s;
        g.data = QDate(2026, 12, 12);
        g.regole = regole;
        g.corsie = corsie;
        g.falsaPartenza = falsa;
        const qint64 id = ag.creaGara(g, &errore);
        for (const QString &p : piloti) ag.iscrivi({0, id, p}, &errore);
        ag.generaProgramma(id, &errore);
        return id;
    }
    // The event read and its next heat on the lanes.
    void pronta(qint64 gara)
    {
        QSignalSpy letta(&d, &DirezioneGara::pronta);
        d.apriGara(gara);
        QVERIFY(letta.wait(2000));
        QVERIFY2(d.caricaManche(0, &errore), qPrintable(errore));
    }
    // The clock at `t`, and every step due by then.
    void a(double t)
    {
        orologio.imposta(t);
        d.aggiorna();
        QCoreApplication::processEvents();
    }
    // A crossing on a lane at `t` (key, button or device), and what race control makes of it.
    void passa(int corsia, double t, bool stampato = false)
    {
        orologio.imposta(t);
        sessione.marca(corsia, t, stampato);
        QCoreApplication::processEvents();
        d.aggiorna();
        QCoreApplication::processEvents();
    }
    void finito() { QTRY_COMPARE(d.fase(), DirezioneGara::Fase::Conclusa); QTRY_VERIFY(d.risultato().has_value()); }
    QString nome(int corsia) const { return sessione.corsia(corsia).nome; }
    bool annunciato(const QString &testo) const { return annunci.contains(testo); }
};

Regole aGiri(int giri)
{
    Regole r;
    r.tipo = TipoSessione::GaraAGiri;
    r.giri = giri;
    return r;
}

} // namespace

class TstDirezione : public QObject {
    Q_OBJECT
private slots:
    // Five drivers on lanes 1, 3 and 4 (lane 2 broken): the heat takes exactly its lanes; a
    // jump start in the lights costs the lane a lap; the flag, the finish by the grace time
    // and the result from the file; "next up" for the heat after.
    void mancheConFalsaPartenzaEBandiera()
    {
        Banco b;
        const qint64 id = b.evento({"Alfa", "Beta", "Gamma", "Delta", "Eco"}, aGiri(2), 0b1101, PenalitaFalsaPartenza::UnGiro);
        b.pronta(id);
        QVERIFY2(b.annunci.value(0).startsWith(u"prossima manche: manche 1; corsia 1, "_s), qPrintable(b.annunci.join('|')));
        QCOMPARE(b.sessione.corsieInUso(), (QVector<int>{0, 2, 3}));
        QVERIFY(!b.sessione.corsia(1).inUso && b.sessione.gara());
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::Pronta);
        // Start: 5 s of countdown, a light a second from 105, all out after a hold of 1 s.
        b.sessione.start(); // the operator's Start only asks
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::Partenza);
        QVERIFY(b.sessione.startAbilitato());
        b.a(106.2);
        QCOMPARE(b.d.luci(), 2);
        b.passa(2, 106.5); // lane 3 jumps the start
        QVERIFY(b.annunciato(u"falsa partenza, corsia 3"_s));
        QCOMPARE(b.sessione.corsia(2).numGiri, 0);
        b.a(109.5);
        QCOMPARE(b.d.luci(), 5);
        b.a(110.0);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        QCOMPARE(b.sessione.inizioSessione(), 110.0);
        QCOMPARE(b.uscite.luci, (QVector<int>{0, 1, 2, 3, 4, 5, 0}));
        QCOMPARE(b.uscite.corrente.last(), true);
        QTRY_COMPARE(b.ag.mancheDaId(b.d.mancheCorrente()->id)->partenza, 110.0);
        const QString primo = b.nome(0), terzo = b.nome(2), quarto = b.nome(3);
        b.passa(0, 120);
        QVERIFY(b.annunciato(primo + u", ultimo giro"_s));
        b.passa(2, 125);
        b.passa(3, 128);
        b.passa(0, 130); // the flag
        QVERIFY(b.annunciato(u"bandiera a scacchi, vince "_s + primo));
        b.passa(2, 131);
        // The fourth lane does not cross again within twice its best lap (18 s): out at 164.
        b.a(163);
        QVERIFY(b.d.inCorso());
        b.a(165);
        b.finito();
        const RisultatoManche &r = *b.d.risultato();
        QCOMPARE(r.classifica.size(), 3);
        QCOMPARE(r.classifica[0].pilota, primo);
        // The jump start's lap: the third lane finished with 2 laps and is ranked with 1, behind the fourth.
        QCOMPARE(r.classifica[1].pilota, quarto);
        QCOMPARE(r.classifica[2].pilota, terzo);
        QCOMPARE(r.classifica[2].giriSanzionati, 1);
        QCOMPARE(r.classifica[1].stato, StatoPilota::Fermo);
        QVERIFY(!b.sessione.corsia(0).btnAbilitato); // the lanes stop with the heat
        QCOMPARE(b.ag.mancheDaId(b.d.mancheCorrente()->id)->stato(), Manche::Stato::Conclusa);
        QCOMPARE(righe(b.db, u"SELECT tipo, corsia FROM EventiManche"_s), (Righe{{u"falsa partenza"_s, 2}}));
        QCOMPARE(righe(b.db, u"SELECT tipo, giri, pilota FROM RegistroGara"_s), (Righe{{u"giri"_s, -1, terzo}}));
        QTRY_VERIFY(b.annunci.last().startsWith(u"prossima manche: manche 2; "_s));
        QVERIFY(b.d.prossima() && b.d.prossima()->numero == 2);
        // The next heat goes on the same window, with its own drivers.
        QVERIFY(b.d.caricaManche(0, &b.errore));
        QCOMPARE(b.d.mancheCorrente()->numero, 2);
        QVERIFY(b.sessione.startAbilitato() && b.sessione.corsia(0).tempolast == u"00:00,000"_s);
    }

    // A track call freezes the clock and the lanes and cuts the power; the restart comes after
    // its countdown; the lap across it is no best lap; a time race runs that much longer.
    // Penalties on the finished heat: one that would leave fewer than 0 laps changes nothing.
    void neutralizzazioneEPenalita()
    {
        Banco b;
        Regole tempo;
        tempo.tipo = TipoSessione::GaraATempo;
        tempo.durata = 60;
        const qint64 id = b.evento({"Alfa", "Beta"}, tempo, 0b11, PenalitaFalsaPartenza::Avviso);
        b.pronta(id);
        b.d.partenza();
        b.a(110);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        const QString primo = b.nome(0);
        b.passa(0, 130);
        b.a(140);
        b.d.neutralizzazione();
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::Neutralizzata);
        QVERIFY(b.sessione.riprendiVisibile() && !b.sessione.corsia(0).btnAbilitato);
        QCOMPARE(b.uscite.corrente.last(), false);
        b.passa(0, 145); // no crossing during the call
        QCOMPARE(b.sessione.corsia(0).numGiri, 1);
        b.a(160);
        b.sessione.riprendi(); // the operator's Riprendi starts the countdown
        QCOMPARE(b.d.secondiRimasti(), 5);
        b.a(165);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        QCOMPARE(b.uscite.corrente.last(), true);
        b.passa(0, 170); // 15 s of racing across the call
        QCOMPARE(b.sessione.corsia(0).bestlapper, u"00:20,000"_s);
        // 60 s of race plus the 25 s call: the time runs out at 195; each next crossing is the last.
        b.a(194);
        QVERIFY(!b.d.stato().bandiera);
        b.a(196);
        QVERIFY(b.d.stato().bandiera);
        QVERIFY(b.annunciato(u"bandiera a scacchi"_s));
        b.passa(0, 200);
        b.a(300);
        b.finito();
        const RisultatoManche &r = *b.d.risultato();
        QCOMPARE(r.fineTempo, 195.0);
        QCOMPARE(r.classifica[0].pilota, primo);
        QCOMPARE(r.classifica[0].giri, 3);
        QCOMPARE(r.classifica[0].giriNeutralizzati, QVector<int>{2});
        QCOMPARE(r.classifica[0].migliorGiro, 20.0f);
        QCOMPARE(righe(b.db, u"SELECT inizio, fine FROM EventiManche WHERE tipo = 'neutralizzazione'"_s), (Righe{{140.0, 165.0}}));
        // Penalties on the closed heat, from race control.
        Sanzione s{id, b.d.mancheCorrente()->id, primo, TipoVoce::Giri, -5, 0, u"taglio di pista"_s};
        bool fatto = true;
        QString perche;
        b.d.sanziona(s, [&](bool f, const QString &e) { fatto = f; perche = e; });
        QTRY_VERIFY(!fatto);
        QCOMPARE(perche, u"La penalità non è stata data: %1 ha 3 giri e ne avrebbe -2. I giri non possono essere meno di zero."_s.arg(primo));
        QCOMPARE(righe(b.db, u"SELECT count(*) FROM RegistroGara"_s), (Righe{{0}}));
        s.giri = -1;
        perche = u"?"_s;
        b.d.sanziona(s, [&](bool f, const QString &e) { fatto = f; perche = e; });
        QTRY_VERIFY(perche.isEmpty() && fatto);
        QCOMPARE(b.ag.risultatoManche(s.manche).classifica[0].giriSanzionati, 2);
    }

    // The device's outputs through a start and a track call: the lights fill from the left,
    // each request carries the relay as last set; a classic device or none refuses them.
    void usciteSulDispositivo()
    {
        Banco b;
        DispositivoRegistrato dispositivo;
        UsciteSulDispositivo uscite;
        QVERIFY(!uscite.impostaLuci(2)); // the timing window has no line yet
        uscite.collega(&dispositivo);
        b.d.impostaUscite(uscite);
        Regole tempo;
        tempo.tipo = TipoSessione::GaraATempo;
        tempo.durata = 60;
        b.pronta(b.evento({"Alfa", "Beta"}, tempo, 0b11, PenalitaFalsaPartenza::Avviso));
        b.d.partenza();
        b.a(110);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        QVector<quint8> luci;
        for (const auto &[l, rele] : dispositivo.inviate) luci << l;
        luci.removeIf([](quint8 l) { return l == 0; });
        QCOMPARE(luci, (QVector<quint8>{0x01, 0x03, 0x07, 0x0F, 0x1F}));
        QCOMPARE(dispositivo.inviate.last(), qMakePair(quint8(0), true));
        b.a(140);
        b.d.neutralizzazione();
        QCOMPARE(dispositivo.inviate.last(), qMakePair(quint8(0), false));
        b.a(150);
        b.sessione.riprendi();
        b.a(155);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        QCOMPARE(dispositivo.inviate.last(), qMakePair(quint8(0), true));
        dispositivo.esteso = false;
        QVERIFY(!uscite.impostaAlimentazione(false));
        uscite.collega(nullptr);
        QVERIFY(!uscite.impostaLuci(1));
    }

    // "Ripartenza": a jump start sends the start back; one stamped before lights out sends the heat back, laps kept.
    void ripartenza()
    {
        Banco b;
        const qint64 id = b.evento({"Alfa", "Beta"}, aGiri(5), 0b11, PenalitaFalsaPartenza::Ripartenza);
        b.pronta(id);
        b.d.partenza();
        b.a(106.5);
        b.passa(1, 106.6);
        QVERIFY(b.annunciato(u"falsa partenza, corsia 2"_s) && b.annunciato(u"partenza annullata, si ripete la partenza"_s));
        QCOMPARE(b.d.procedura().fase(), ProceduraPartenza::Fase::Pronta);
        QVERIFY(b.sessione.startAbilitato());
        b.d.partenza(); // again, from 106.6: lights out at 106.6 + 5 + 4 + 1
        b.a(116.6);
        QCOMPARE(b.d.fase(), DirezioneGara::Fase::InCorso);
        const qint64 manche = b.d.mancheCorrente()->id;
        b.passa(0, 130);
        b.passa(1, 131.0, true); // stamped before lights out, arrived late
        b.sessione.marca(1, 116.5, true);
        QCoreApplication::processEvents();
        QTRY_COMPARE(b.d.fase(), DirezioneGara::Fase::Pronta);
        QCOMPARE(b.d.mancheCorrente()->id, manche);
        QCOMPARE(b.ag.mancheDaId(manche)->stato(), Manche::Stato::DaCorrere);
        QCOMPARE(righe(b.db, u"SELECT count(*), count(manche) FROM Giri"_s), (Righe{{2, 0}}));
        QVERIFY(b.sessione.startAbilitato() && b.sessione.corsia(0).numGiri == 1);
    }

    // A race from the start window: an event of one heat, the drivers on lanes 1, 2, 3;
    // a window that closes mid-heat closes the heat as it stands.
    void garaVeloce()
    {
        Banco b;
        b.d.garaVeloce({"Uno", "Due", "Tre"}, aGiri(3), u"Pista Nord"_s);
        QTRY_COMPARE(b.d.fase(), DirezioneGara::Fase::Pronta);
        QVERIFY(b.d.gara()->nome.startsWith(u"Gara a giri del "_s));
        QCOMPARE(b.d.gara()->pista, u"Pista Nord"_s);
        QCOMPARE(b.sessione.corsieInUso(), (QVector<int>{0, 1, 2}));
        QCOMPARE(b.nome(2), u"Tre"_s);
        b.d.partenza();
        b.a(110);
        b.passa(1, 120);
        const qint64 manche = b.d.mancheCorrente()->id;
        b.d.segui(nullptr);
        QTRY_COMPARE(b.ag.mancheDaId(manche)->stato(), Manche::Stato::Conclusa);
        QCOMPARE(b.ag.risultatoManche(manche).classifica[0].pilota, u"Due"_s);
        QVERIFY(!b.sessione.gara());
    }

    // Heats refused, with the reason: no event, a heat running, none left.
    void mancheRifiutate()
    {
        Banco b;
        QString e;
        QVERIFY(!b.d.caricaManche(0, &e));
        QCOMPARE(e, u"Nessuna gara in uso: sceglierla in Gara... ."_s);
        const qint64 id = b.evento({"Alfa"}, aGiri(1), 0b1, PenalitaFalsaPartenza::Avviso);
        b.pronta(id);
        b.d.partenza();
        b.a(110);
        QVERIFY(!b.d.caricaManche(0, &e));
        QCOMPARE(e, u"Una manche è in corso: chiuderla prima di passare a un'altra."_s);
        b.passa(0, 130);
        b.finito();
        QVERIFY(!b.d.caricaManche(0, &e));
        QCOMPARE(e, u"Non ci sono manche da correre in questa gara."_s);
    }
};

QTEST_GUILESS_MAIN(TstDirezione)
#include "tst_direzione.moc"

// The race day on a real encrypted file: earlier versions' files, laps with instant and heat, events, penalties,
// the trail, championships and the reset.
#include "aiuti.h"
#include "comune/identita.h"
#include "copiefinte.h"
#include "database/archivioasincrono.h"
#include "database/archiviotempi.h"
#include "database/correzionigiri.h"
#include "database/schema.h"
#include "database/schemagara.h"
#include "database/sostituzione.h"
#include "gara/archiviogara.h"
#include "archiviodiretto.h"
#include "piattaforma/file.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "timing/sessione.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace gara;
using namespace Qt::StringLiterals;

namespace {
const QString password = QString::fromUtf8(identita::password);
const QDateTime adesso(QDate(2026, 12, 12), QTime(21, 0));

struct Banco {
    QTemporaryDir cartella;
    QString percorso = cartella.filePath(u"saettinopro.mb"_s);
    Database db;
    MessaggiFinti messaggi;
    ArchivioDiretto tempi{db};
    ArchivioGara ag{db};
    QString errore;

    Banco() { schema::apriDatabase(db, percorso); }

    void memorizza(const GiroCompletato &g) { ArchivioDiretto::memorizza(db, g); }

    // One driver's laps in a heat, from its start to each crossing; numbered after his stored laps.
    void giri(qint64 manche, const QString &pilota, const QList<double> &passaggi, bool stampati = false)
    {
        double prima = ag.mancheDaId(manche)->partenza;
        for (double t : passaggi) {
            GiroCompletato g{pilota, archivioTempi::contaGiri(db, pilota) + 1, float(t - prima), QString(), u"Pista Nord"_s, adesso};
            g.istante = t;
            g.stampato = stampati;
            g.manche = manche;
            memorizza(g);
            prima = t;
        }
    }
    qint64 evento(const QString &nome, QStringList piloti, Regole regole, quint8 corsie = 0x0F, qint64 campionato = 0)
    {
        Gara g;
        g.nome = nome;
        g.data = QDate(2026, 12, 12);
        g.regole = regole;
        g.corsie = corsie;
        g.campionato = campionato;
        const qint64 id = ag.creaGara(g, &errore);
        for (const QString &p : piloti) ag.iscrivi({0, id, p}, &errore);
        return id;
    }
    QString nomeDi(qint64 iscritto)
    {
        for (const Gara &g : ag.gare())
            for (const Iscritto &i : ag.iscritti(g.id))
                if (i.id == iscritto) return i.nome;
        return {};
    }
};
} // namespace

class TstArchivioGara : public QObject {
    Q_OBJECT
private slots:
    // A file of an earlier version loads, takes the race tables and keeps its laps; they are never required.
    void fileDiVersionePrecedente()
    {
        Banco b;
        b.memorizza({u"Alfa"_s, 1, 40.5f, u"00:40,500"_s, u"Pista Nord"_s, adesso});
        const QString vecchio = b.cartella.filePath(u"vecchio.qlt"_s);
        QVERIFY(QFile::copy(b.percorso, vecchio));
        rendiVecchio(vecchio);
        QString motivo;
        QVERIFY2(Database::verificaFile(vecchio, password, &motivo), qPrintable(motivo));
        // Loaded in place of the database: the race tables are there after the Load.
        OrologioManuale orologio;
        CopieFinte copie(b.percorso, orologio);
        const sostituzione::Risultato r = sostituzione::sostituisci(vecchio, b.percorso, copie,
            {[&] { b.db.chiudi(); }, [&](QString *) { schema::apriDatabase(b.db, b.percorso); return true; }});
        QVERIFY2(r.esito == sostituzione::Esito::Fatto, qPrintable(r.motivo));
        QVERIFY2(r.tolti.isEmpty(), qPrintable(r.tolti.join(u", "_s)));
        QCOMPARE(righe(b.db, "SELECT pilota, giroN, istante, manche FROM Giri"), (Righe{{u"Alfa"_s, 1, QVariant(), QVariant()}}));
        QVERIFY(b.evento(u"Dopo il caricamento"_s, {u"Alfa"_s}, {TipoSessione::GaraAGiri, 0, 5}) > 0);
        // The same file opened directly (the program started on it) gets them too.
        rendiVecchio(b.percorso);
        b.db.chiudi();
        QVERIFY(!schema::apriDatabase(b.db, b.percorso));
        QCOMPARE(righe(b.db, "SELECT count(*) FROM sqlite_master WHERE name IN ('Gare', 'RegistroGara', 'Giri_manche')"),
                 (Righe{{3}}));
        // A race table of a foreign shape is refused on Load, as the program's own tables are.
        QVERIFY(QFile::copy(b.percorso, b.cartella.filePath(u"strano.qlt"_s)));
        Database strano;
        strano.apri(b.cartella.filePath(u"strano.qlt"_s), password);
        strano.esegui(u"DROP TABLE Gare; CREATE TABLE Gare (id INTEGER PRIMARY KEY, nome TEXT)"_s);
        strano.chiudi();
        QVERIFY(!Database::verificaFile(b.cartella.filePath(u"strano.qlt"_s), password, &motivo));
        QCOMPARE(motivo, u"nella tabella Gare la colonna nome ammette valori vuoti"_s);
    }

    // The lap writer meets a file of an earlier version under the database's name: the laps still go in.
    void scrittoreSuUnFileVecchio()
    {
        if (!file::apertoSostituibile()) QSKIP("an open file cannot be replaced here");
        Banco b;
        OrologioManuale orologio{100.0};
        ArchivioAsincrono archivio(b.db, b.percorso, b.messaggi);
        archivio.scrittore()->impostaRiprova(50);
        Sessione sessione(orologio, b.messaggi, archivio);
        QObject::connect(&archivio, &ArchivioAsincrono::giriRiallineati, &sessione, &Sessione::riallineaGiri);
        sessione.impostaPilota(0, u"Alfa"_s);
        sessione.inizializza();
        sessione.start();
        orologio.avanza(30);
        sessione.marca(0);
        QVERIFY(archivio.svuota());
        const QString vecchio = b.percorso + u".vecchio"_s;
        QVERIFY(QFile::copy(b.percorso, vecchio));
        rendiVecchio(vecchio);
        QVERIFY(::rename(QFile::encodeName(vecchio), QFile::encodeName(b.percorso)) == 0);
        orologio.avanza(31);
        sessione.marca(0, orologio.adesso(), true);
        QTRY_COMPARE(archivio.giriInAttesa(), 0);
        Database d;
        d.apri(b.percorso, password);
        QCOMPARE(righe(d, "SELECT giroN, istante, stampato FROM Giri ORDER BY id"),
                 (Righe{{1, QVariant(), QVariant()}, {2, 161.0, 1}}));
    }

    // Every lap carries the crossing's instant, how it was taken and its heat.
    void giriConIstanteEManche()
    {
        Banco b;
        OrologioManuale orologio{500.0};
        Sessione s(orologio, b.messaggi, b.tempi);
        s.impostaPilota(0, u"Alfa"_s);
        s.impostaPilota(1, u"Beta"_s);
        s.inizializza();
        s.start();
        s.marca(0, 510.25);
        s.impostaManche(7);
        s.marca(1, 511.5, true);
        QCOMPARE(righe(b.db, "SELECT pilota, istante, stampato, manche FROM Giri ORDER BY id"),
                 (Righe{{u"Alfa"_s, 510.25, 0, QVariant()}, {u"Beta"_s, 511.5, 1, 7}}));
    }

    void inputNonValidi_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("errore");
        QTest::newRow("gara senza nome") << "nome" << "Indicare il nome della gara.";
        QTest::newRow("gara di 0 giri") << "giri" << "Una gara a giri deve avere almeno un giro: indicare il numero di giri.";
        QTest::newRow("stesso nome, altri spazi e maiuscole")
            << "doppio" << "mario  ROSSI è già iscritto a questa gara come Mario Rossi: ogni pilota deve avere un nome diverso.";
        QTest::newRow("stesso nome, accento composto e spazio invisibile")
            << "invisibile" << "Nicolò\u200b Bianchi è già iscritto a questa gara come Nicolò Bianchi: "
                               "ogni pilota deve avere un nome diverso.";
        QTest::newRow("penalità senza motivo") << "motivo" << "Indicare il motivo della penalità.";
        QTest::newRow("penalità a chi non corre") << "estraneo" << "Zeta non è iscritto a questa gara.";
    }
    void inputNonValidi()
    {
        QFETCH(QString, caso);
        QFETCH(QString, errore);
        Banco b;
        const qint64 id = b.evento(u"Coppa"_s, {u"Mario Rossi"_s, u"Nicolò Bianchi"_s, u"Anna Verdi"_s},
                                   {TipoSessione::GaraAGiri, 0, 10});
        QVERIFY(b.ag.generaProgramma(id, &b.errore));
        const Righe prima = righe(b.db, "SELECT (SELECT count(*) FROM Gare), (SELECT count(*) FROM Iscritti), "
                                        "(SELECT group_concat(iscritto) FROM MancheCorsie), (SELECT count(*) FROM RegistroGara)");
        Gara g = *b.ag.gara(id);
        QString motivo;
        bool fatto = true;
        if (caso == u"nome") g.nome = u"  "_s, fatto = b.ag.modificaGara(g, &motivo);
        if (caso == u"giri") g.regole.giri = 0, fatto = b.ag.creaGara(g, &motivo) > 0;
        if (caso == u"doppio") fatto = b.ag.iscrivi({0, id, u" mario  ROSSI"_s}, &motivo) > 0;
        if (caso == u"invisibile") fatto = b.ag.iscrivi({0, id, u"Nicol\u006f\u0300\u200b Bianchi"_s}, &motivo) > 0;
        if (caso == u"motivo") fatto = b.ag.sanziona({id, 0, u"Anna Verdi"_s, TipoVoce::Giri, 1, 0, u" "_s}, adesso, &motivo) > 0;
        if (caso == u"estraneo") fatto = b.ag.sanziona({id, 0, u"Zeta"_s, TipoVoce::Avviso, 0, 0, u"x"_s}, adesso, &motivo) > 0;
        QVERIFY(!fatto);
        QCOMPARE(motivo.normalized(QString::NormalizationForm_C), errore.normalized(QString::NormalizationForm_C));
        QCOMPARE(righe(b.db, "SELECT (SELECT count(*) FROM Gare), (SELECT count(*) FROM Iscritti), "
                             "(SELECT group_concat(iscritto) FROM MancheCorsie), (SELECT count(*) FROM RegistroGara)"),
                 prima);
    }

    // An evening on the file: heats on three of four lanes, penalties, a correction, the trail and the results.
    // (How a heat ranks is the rules' suite's; window edits of the schedule, the race windows' suite's.)
    void serataDiGara()
    {
        Banco b;
        const QStringList nomi{u"Alfa"_s, u"Beta"_s, u"Gamma"_s, u"Delta"_s, u"Eco"_s, u"Foxtrot"_s};
        const qint64 id = b.evento(u"Coppa d'inverno"_s, nomi, {TipoSessione::GaraAGiri, 0, 3}, 0x0B); // lane 3 broken
        QVERIFY2(b.ag.generaProgramma(id, &b.errore), qPrintable(b.errore));
        const QVector<Manche> manche = b.ag.manche(id);
        QCOMPARE(manche.size(), 6);
        for (const Manche &m : manche) QCOMPARE(m.corsie[2], 0);
        // Heat 1 runs through the session: lights out, laps, the flag, the closing.
        const Manche prima = *b.ag.prossimaManche(id);
        QCOMPARE(prima.numero, 1);
        OrologioManuale orologio{1000.0};
        Sessione s(orologio, b.messaggi, b.tempi);
        const QVector<int> lanes{0, 1, 3};
        QStringList inCorsia;
        for (int c = 0; c < 4; ++c) inCorsia << (prima.corsie[c] > 0 ? b.nomeDi(prima.corsie[c]) : u"(vuota)"_s);
        for (int c = 0; c < 4; ++c) s.impostaPilota(c, inCorsia[c]);
        s.inizializza();
        s.impostaManche(prima.id);
        s.start();
        QVERIFY(b.ag.avviaManche(prima.id, s.inizioSessione(), &b.errore));
        QVERIFY(!b.ag.avviaManche(prima.id, 1001, &b.errore));
        QCOMPARE(b.errore, u"La manche 1 è già partita."_s);
        for (double t : {1010.0, 1020.0, 1030.0}) s.marca(0, t, true);
        for (double t : {1011.0, 1022.0, 1030.0}) s.marca(1, t, true); // level with lane 0 at the line
        for (double t : {1012.0, 1024.0, 1036.0}) s.marca(3, t);
        QVERIFY(b.ag.chiudiManche(prima.id, 1040, &b.errore));
        RisultatoManche r = b.ag.risultatoManche(prima.id);
        QVERIFY(r.classifica[1].exAequo && r.classifica[2].decisoSullaLinea); // the stored instants and how they were taken
        QVERIFY(!b.ag.generaProgramma(id, &b.errore)); // no new schedule once a heat has run
        // The other heats, stored straight: every driver 3 laps, lanes in the order of the heat.
        for (const Manche &m : b.ag.manche(id).mid(1)) {
            QVERIFY(b.ag.avviaManche(m.id, 2000.0 + m.numero * 100, &b.errore));
            int k = 0;
            for (int c : lanes) {
                const double p = 2000.0 + m.numero * 100;
                b.giri(m.id, b.nomeDi(m.corsie[c]), {p + 10 + k, p + 20 + 2 * k, p + 30 + 3 * k});
                ++k;
            }
            QVERIFY(b.ag.chiudiManche(m.id, 2000.0 + m.numero * 100 + 60, &b.errore));
        }
        RisultatoGara g = b.ag.risultatoGara(id);
        QCOMPARE(g.mancheCorse, 6);
        for (const RisultatoPilotaGara &p : g.classifica) QCOMPARE(p.giri, 9);
        // Penalties: a heat that is over cannot take a driver below 0 laps, nor can the event.
        const QString alfa = b.nomeDi(prima.corsie[0]);
        QString motivo;
        QVERIFY(!b.ag.sanziona({id, 0, alfa, TipoVoce::Giri, -10, 0, u"Taglio"_s}, adesso, &motivo));
        const qint64 voce = b.ag.sanziona({id, prima.id, alfa, TipoVoce::Giri, -1, 0, u"Taglio alla chicane"_s}, adesso, &motivo);
        QVERIFY2(voce > 0, qPrintable(motivo));
        r = b.ag.risultatoManche(prima.id);
        QCOMPARE(r.classifica.first().corsia, 1);
        QCOMPARE(r.diCorsia(0)->giriSanzionati, 2);
        QVERIFY(!b.ag.sanziona({id, prima.id, alfa, TipoVoce::Giri, -3, 0, u"Ancora"_s}, adesso, &motivo));
        // Withdrawn: the result is as before, both lines stay in the trail.
        QVERIFY(b.ag.annullaSanzione(voce, u"Riesaminato al video"_s, adesso, &motivo));
        QVERIFY(!b.ag.annullaSanzione(voce, u"Due volte"_s, adesso, &motivo));
        QCOMPARE(motivo, u"Questa penalità è già stata annullata."_s);
        QCOMPARE(b.ag.risultatoManche(prima.id).diCorsia(0)->giriSanzionati, 3);
        QVERIFY(b.ag.sanziona({id, 0, u"beta"_s, TipoVoce::Squalifica, 0, 0, u"Vettura irregolare"_s}, adesso, &motivo) > 0);
        QVERIFY(!b.ag.sanziona({id, 0, u"Beta"_s, TipoVoce::Squalifica, 0, 0, u"Di nuovo"_s}, adesso, &motivo));
        QCOMPARE(motivo, u"Beta è già squalificato."_s);
        QVERIFY(b.ag.registraFalsaPartenza(b.ag.manche(id)[1].id, 0, 2099.5, PenalitaFalsaPartenza::UnSecondo, adesso,
                                           &motivo) > 0);
        // A lap correction of a heat joins the same trail.
        const Righe giro = righe(b.db, "SELECT id, pilota, giroN, tempoGiro FROM Giri WHERE manche IS NOT NULL ORDER BY id DESC LIMIT 1");
        QVERIFY(correzioni::correggi(b.db, {giro[0][0].toLongLong(), giro[0][1].toString(), giro[0][2].toInt(),
                                            giro[0][3].toFloat()}, correzioni::Tipo::Elimina, &motivo));
        QStringList registro;
        for (const VoceRegistro &v : b.ag.registro(id))
            registro << u"%1 %2 %3%4"_s.arg(nomeVoce(v.tipo), v.pilota, v.motivo, v.annullata ? u" (annullata)"_s : QString());
        QCOMPARE(registro.size(), 5);
        QCOMPARE(registro[0], u"Giri %1 Taglio alla chicane (annullata)"_s.arg(alfa));
        QCOMPARE(registro[1], u"Annullamento %1 Riesaminato al video"_s.arg(alfa));
        QCOMPARE(registro[2], u"Squalifica Beta Vettura irregolare"_s);
        QVERIFY(registro[3].startsWith(u"Secondi "_s) && registro[3].endsWith(u"Falsa partenza, corsia 1"_s));
        QVERIFY2(registro[4].startsWith(u"Giro eliminato %1 Giro "_s.arg(giro[0][1].toString())), qPrintable(registro[4]));
        g = b.ag.risultatoGara(id);
        QCOMPARE(g.classifica.last().nome, u"Beta"_s);
        QVERIFY(g.classifica.last().squalificato);
        QCOMPARE(g.classifica[g.classifica.size() - 2].giri, 8); // the driver whose lap was deleted
    }

    // Two events of a season, ranked from their stored laps.
    void campionatoDalFile()
    {
        Banco b;
        QString motivo;
        QVERIFY(!b.ag.creaCampionato({0, u"Invernale"_s, -1, {}}, &motivo));
        QCOMPARE(motivo, u"Il numero dei risultati scartati non può essere negativo."_s);
        const qint64 c = b.ag.creaCampionato({0, u"Invernale"_s, 0, {{10, 8, 6}}}, &motivo);
        QVERIFY(c > 0);
        QCOMPARE(b.ag.campionato(c)->punti.punti, (QVector<int>{10, 8, 6}));
        const QStringList piloti{u"Alfa"_s, u"Beta"_s};
        for (int e = 0; e < 3; ++e) {
            const qint64 id = b.evento(u"Prova %1"_s.arg(e + 1), piloti, {TipoSessione::GaraATempo, 30, 0}, 0x03, c);
            Gara g = *b.ag.gara(id);
            g.data = QDate(2026, 11, 1 + e);
            QVERIFY(b.ag.modificaGara(g, &motivo));
            if (e == 2) continue; // not raced yet: gives no points
            QVERIFY(b.ag.generaProgramma(id, &motivo));
            for (const Manche &m : b.ag.manche(id)) {
                const double p = 100.0 * m.id;
                QVERIFY(b.ag.avviaManche(m.id, p, &motivo));
                // Alfa is faster in the first event, Beta in the second.
                const double alfa = e == 0 ? 9 : 11;
                b.giri(m.id, u"Alfa"_s, {p + alfa, p + 2 * alfa, p + 3 * alfa, p + 4 * alfa});
                b.giri(m.id, u"Beta"_s, {p + 10, p + 20, p + 30, p + 40});
                QVERIFY(b.ag.chiudiManche(m.id, p + 60, &motivo));
            }
        }
        const ClassificaCampionato cc = b.ag.classificaCampionato(c);
        QCOMPARE(cc.gare.size(), 2);
        QCOMPARE(cc.righe.size(), 2);
        QCOMPARE(cc.righe[0].nome, u"Beta"_s); // level on points and places: Beta won the latest
        QCOMPARE(cc.righe[0].totale, 18);
        QCOMPARE(cc.righe[1].spareggio, u"a pari punti e piazzamenti, dietro in Prova 2"_s);
        QCOMPARE(cc.righe[1].punti, (QVector<int>{10, 8}));
    }

    // Canc.Database: the laps only, or the event too.
    void cancellazione_data()
    {
        QTest::addColumn<bool>("ancheGara");
        QTest::addColumn<QString>("resta"); // events, entries, heats, heats started, trail lines, laps
        // The other event's trail line stays; heats, their laps, calls and penalties are cleared.
        QTest::newRow("solo i giri") << false << "2 3 5 0 1 0";
        QTest::newRow("anche la gara") << true << "1 1 2 0 1 0";
    }
    void cancellazione()
    {
        QFETCH(bool, ancheGara);
        QFETCH(QString, resta);
        Banco b;
        const qint64 id = b.evento(u"Da cancellare"_s, {u"Alfa"_s, u"Beta"_s}, {TipoSessione::GaraAGiri, 0, 2}, 0x07);
        const qint64 altra = b.evento(u"Altra"_s, {u"Zeta"_s}, {TipoSessione::GaraAGiri, 0, 2}, 0x03);
        QVERIFY(b.ag.generaProgramma(id, &b.errore) && b.ag.generaProgramma(altra, &b.errore));
        const Manche m = b.ag.manche(id).first();
        QVERIFY(b.ag.avviaManche(m.id, 100, &b.errore));
        b.giri(m.id, b.nomeDi(m.corsie[0]), {110, 120});
        b.ag.registraNeutralizzazione(m.id, {112, 115});
        QVERIFY(b.ag.sanziona({id, m.id, b.nomeDi(m.corsie[0]), TipoVoce::Secondi, 0, 3, u"Contatto"_s}, adesso, &b.errore));
        QVERIFY(b.ag.sanziona({altra, 0, u"Zeta"_s, TipoVoce::Avviso, 0, 0, u"Comportamento"_s}, adesso, &b.errore));
        ArchivioGara::cancella(b.db, ancheGara ? Cancellazione::AncheGara : Cancellazione::SoloGiri, id, true, adesso);
        const Righe r = righe(b.db, "SELECT (SELECT count(*) FROM Gare), (SELECT count(*) FROM Iscritti), "
                                    "(SELECT count(*) FROM Manche), (SELECT count(*) FROM Manche WHERE partenza IS NOT NULL), "
                                    "(SELECT count(*) FROM RegistroGara WHERE tipo != 'cancellazione'), "
                                    "(SELECT count(*) FROM Giri) + (SELECT count(*) FROM EventiManche)");
        QStringList numeri;
        for (const QVariant &v : r[0]) numeri << v.toString();
        QCOMPARE(numeri.join(u' '), resta);
        QCOMPARE(righe(b.db, "SELECT count(*) FROM RegistroGara WHERE tipo = 'cancellazione'"), (Righe{{1}}));
        QCOMPARE(righe(b.db, "SELECT Tempo FROM Tempofast"), (Righe{{0.0}}));
        QCOMPARE(b.ag.prossimaManche(altra)->numero, 1);
    }
};

QTEST_GUILESS_MAIN(TstArchivioGara)
#include "tst_archiviogara.moc"

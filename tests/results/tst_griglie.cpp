#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "results/grigliarisultati.h"
#include "timing/globale.h"
#include "timing/rilevago.h"

#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList colonna(const QAbstractItemModel &m, int c)
{
    QStringList testi;
    for (int r = 0; r < m.rowCount(); ++r) testi.append(m.index(r, c).data().toString());
    return testi;
}
QStringList intestazioni(const QAbstractItemModel &m)
{
    QStringList testi;
    for (int c = 0; c < m.columnCount(); ++c) testi.append(m.headerData(c, Qt::Horizontal).toString());
    return testi;
}
} // namespace

class TestGriglie : public QObject {
    Q_OBJECT
    QTemporaryDir cartella_;
    Database db_;
    MessaggiFinti messaggi_;
    int prova_ = 0;

private slots:
    void init()
    {
        messaggi_.mostrati.clear();
        QVERIFY(schema::apriDatabase(db_, cartella_.filePath(QStringLiteral("g%1.mb").arg(++prova_))));
    }
    void cleanup() { db_.chiudi(); }

    void soloIntestazioniSenzaGiri()
    {
        QTableView v1, v2;
        GriglieRisultati griglie(db_, messaggi_, &v1, &v2);
        griglie.aggiornaTabella();
        QCOMPARE(griglie.classifica().rowCount(), 0);
        QCOMPARE(intestazioni(griglie.classifica()),
                 (QStringList{"Pilota", "Giri", "TempoTotale"}));
        QCOMPARE(griglie.giriVeloci().rowCount(), 0);
        QCOMPARE(intestazioni(griglie.giriVeloci()), (QStringList{"Pilota", "Giro", "Tempo", "Pista"}));
        QCOMPARE(v1.columnWidth(0), 87);
        QCOMPARE(v1.columnWidth(1), 43);
        QCOMPARE(v1.columnWidth(2), 87);
        QCOMPARE(v2.columnWidth(1), 43);
        QVERIFY(messaggi_.mostrati.isEmpty());
    }

    void cinqueGiriPiuVelociEClassifica()
    {
        QTableView v1, v2;
        GriglieRisultati griglie(db_, messaggi_, &v1, &v2);
        ArchivioTempi archivio(db_, messaggi_);
        const QDateTime ora(QDate(2026, 12, 5), QTime(10, 0, 0));
        const float tempi[] = {50.5f, 49.0f, 51.0f, 49.0f, 60.0f, 48.0f, 49.0f, 70.0f};
        for (int i = 0; i < 8; ++i) {
            const QString pilota = i % 2 ? QStringLiteral("Beta") : QStringLiteral("D'Alfa");
            archivio.memorizza({pilota, i / 2 + 1, tempi[i], QStringLiteral("t%1").arg(i),
                                QStringLiteral("Pista dell'Est"), ora});
        }
        griglie.aggiornaTabella();
        const ModelloQuery &veloci = griglie.giriVeloci();
        // Fastest first, the three 49-second laps in storing order.
        QCOMPARE(colonna(veloci, 2), (QStringList{"t5", "t1", "t3", "t6", "t0"}));
        QCOMPARE(colonna(veloci, 0), (QStringList{"Beta", "Beta", "Beta", "D'Alfa", "D'Alfa"}));
        QCOMPARE(colonna(veloci, 1), (QStringList{"3", "1", "2", "4", "1"}));
        QCOMPARE(veloci.index(0, 3).data().toString(), QStringLiteral("Pista dell'Est"));
        const ModelloQuery &classifica = griglie.classifica();
        QCOMPARE(colonna(classifica, 0), (QStringList{"D'Alfa", "Beta"}));
        QCOMPARE(colonna(classifica, 1), (QStringList{"4", "4"}));
        QCOMPARE(colonna(classifica, 2), (QStringList{"03:30,500", "03:36,000"}));
        const auto sinistra = QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        const auto centro = QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        QCOMPARE(classifica.index(0, 0).data(Qt::TextAlignmentRole), sinistra);
        QCOMPARE(classifica.index(0, 2).data(Qt::TextAlignmentRole), centro);
        QCOMPARE(veloci.index(4, 0).data(Qt::TextAlignmentRole), sinistra);
        QCOMPARE(veloci.index(4, 3).data(Qt::TextAlignmentRole), centro);
        QVERIFY(!(classifica.flags(classifica.index(0, 0)) & Qt::ItemIsEditable));
    }

    void modelloConParametri()
    {
        ArchivioTempi archivio(db_, messaggi_);
        const QDateTime ora(QDate(2026, 12, 5), QTime(10, 0, 0));
        archivio.memorizza({QStringLiteral("O'Hara"), 1, 30.0f, QStringLiteral("00:30,000"), {}, ora});
        archivio.memorizza({QStringLiteral("Altro"), 1, 31.0f, QStringLiteral("00:31,000"), {}, ora});
        ModelloQuery m(db_, QStringLiteral("SELECT Pilota, Giro, Tempo FROM Sunto WHERE pilota LIKE ?"));
        m.impostaQuery(m.query(), {QStringLiteral("O'Hara")});
        m.aggiorna();
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(m.valore(0, 2).toString(), QStringLiteral("00:30,000"));
        // A failing query keeps what the model showed.
        m.impostaQuery(QStringLiteral("SELECT * FROM NonEsiste"));
        QVERIFY_THROWS_EXCEPTION(ErroreDatabase, m.aggiorna());
        QCOMPARE(m.rowCount(), 1);
    }

    void erroreDiLetturaMostrato()
    {
        QTableView v1, v2;
        GriglieRisultati griglie(db_, messaggi_, &v1, &v2);
        db_.esegui(QStringLiteral("DROP VIEW Sunto2"));
        griglie.aggiornaTabella();
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QVERIFY(messaggi_.ultimo().startsWith(QStringLiteral("Errore del database: no such table")));
        QCOMPARE(v1.columnWidth(0), 87);
        // A database that never opened has been reported already: the grids just empty.
        db_.chiudi();
        griglie.aggiornaTabella();
        QCOMPARE(messaggi_.mostrati.size(), 1);
        QCOMPARE(griglie.classifica().columnCount(), 0);
    }

    void tastiDellaFinestraAggiornanoLeGriglie()
    {
        OrologioManuale orologio(36000.0f);
        ArchivioTempi archivio(db_, messaggi_);
        {
            ArchivioTempi(db_, messaggi_).memorizza({QStringLiteral("Alfa"), 4, 90.0f,
                                                     QStringLiteral("01:30,000"), {}, orologio.dataOra()});
        }
        globale().nomePista = QStringLiteral("Pista Nord");
        globale().lunghezzaPista = 1200;
        RilevaGo finestra(orologio, messaggi_, archivio);
        GriglieRisultati griglie(db_, messaggi_, finestra.griglia1(), finestra.griglia2(), &finestra);
        finestra.impostaTabelle(&griglie);
        finestra.sessione().impostaPilota(0, QStringLiteral("Alfa"));
        finestra.sessione().impostaPilota(1, QStringLiteral("Beta"));
        finestra.inizializza();
        QCOMPARE(finestra.sessione().corsia(0).numGiri, 4);
        finestra.show();
        QVERIFY(QTest::qWaitForWindowActive(&finestra));
        QCOMPARE(finestra.griglia1()->model()->rowCount(), 1);
        QCOMPARE(finestra.griglia1()->columnWidth(2), 87);

        finestra.sessione().start();
        orologio.avanza(62.5f);
        // The digits reach the window's key preview from whatever holds the focus.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
        QCOMPARE(colonna(griglie.classifica(), 0), (QStringList{"Alfa", "Beta"}));
        QCOMPARE(colonna(griglie.classifica(), 1), (QStringList{"2", "1"}));
        QCOMPARE(archivio.contaGiri(QStringLiteral("Alfa")), 5);
        QCOMPARE(colonna(griglie.classifica(), 2), (QStringList{"02:32,500", "01:02,500"}));
        QCOMPARE(colonna(griglie.giriVeloci(), 2), (QStringList{"01:02,500", "01:02,500", "01:30,000"}));
        QCOMPARE(colonna(griglie.giriVeloci(), 3).first(), QStringLiteral("Pista Nord"));

        // A mark inside the lock-out stores nothing but still re-reads the grids.
        db_.esegui(QStringLiteral("INSERT INTO Giri (pilota, giroN, tempoGiro, Tempo) VALUES ('Zeta', 1, 1.5, 'z')"));
        orologio.avanza(0.5f);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        QCOMPARE(finestra.sessione().corsia(0).numGiri, 5);
        QCOMPARE(colonna(griglie.giriVeloci(), 2).first(), QStringLiteral("z"));
        QVERIFY(messaggi_.mostrati.isEmpty());
        finestra.close();
    }
};

QTEST_MAIN(TestGriglie)
#include "tst_griglie.moc"

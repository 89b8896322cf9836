#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "results/visualtempi.h"
#include "shell/comune/identita.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestVisualtempi : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> cartella_;
    Database db_;
    MessaggiFinti messaggi_;

    void segna(const QString &pilota, int n)
    {
        ArchivioTempi archivio(db_, messaggi_);
        GiroCompletato g;
        g.pilota = pilota;
        g.giroN = n;
        g.tempoGiro = 40.0f + n;
        g.tempo = QStringLiteral("%1#%2").arg(pilota).arg(n);
        g.pista = QStringLiteral("Pista Nord");
        g.quando = QDateTime(QDate(2026, 12, 5), QTime(10, 0, 0));
        archivio.memorizzaOEccezione(g);
    }
    // The lap texts the grid shows, top to bottom.
    static QStringList tempi(Visualtempi &v)
    {
        QStringList r;
        auto &m = v.tempi().modello();
        for (int i = 0; i < m.rowCount(); ++i) r.append(m.valore(i, 2).toString());
        return r;
    }
    QStringList cerca(Visualtempi &v, const QString &testo)
    {
        v.piloticmb()->setEditText(testo);
        QTest::mouseClick(v.command1(), Qt::LeftButton);
        return tempi(v);
    }

private slots:
    void init()
    {
        cartella_ = std::make_unique<QTemporaryDir>();
        schema::apriDatabase(db_, cartella_->filePath(QString::fromUtf8(identita::fileDatabase)));
        messaggi_ = MessaggiFinti();
    }
    void cleanup()
    {
        db_.chiudi();
        cartella_.reset();
    }

    void aperturaMostraIlPrimoPilota();
    void ricercaComeLaVedeLOperatore();
    void nessunGiroMemorizzato();
    void finestra();
};

void TestVisualtempi::aperturaMostraIlPrimoPilota()
{
    segna("Gamma", 1);
    segna("Beta", 1);
    segna("Gamma", 2);
    segna("Beta", 2);
    Visualtempi v(db_, messaggi_);
    v.inizializza();
    v.inizializza(); // the list is emptied first each time
    QCOMPARE(v.piloticmb()->count(), 2);
    QCOMPARE(v.piloticmb()->itemText(0), QStringLiteral("Beta"));
    QCOMPARE(v.piloticmb()->itemText(1), QStringLiteral("Gamma"));
    QCOMPARE(v.piloticmb()->currentText(), QStringLiteral("Beta"));
    QCOMPARE(tempi(v), QStringList({"Beta#1", "Beta#2"}));

    // Grid: field names as headers, the widths and alignments of the layout.
    auto &m = v.tempi().modello();
    QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Pilota"));
    QCOMPARE(m.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Giro"));
    QCOMPARE(m.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Tempo"));
    QCOMPARE(m.data(m.index(1, 1)).toString(), QStringLiteral("2"));
    QCOMPARE(v.msFlexGrid1()->columnWidth(0), 87);
    QCOMPARE(v.msFlexGrid1()->columnWidth(1), 43);
    QCOMPARE(v.msFlexGrid1()->columnWidth(2), 87);
    QCOMPARE(m.data(m.index(0, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(m.data(m.index(0, 2), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));

    // Picking a name does not refresh by itself; "Aggiorna" does, without refilling the list.
    v.piloticmb()->setCurrentIndex(1);
    QCOMPARE(tempi(v), QStringList({"Beta#1", "Beta#2"}));
    segna("Alfa", 1);
    QTest::mouseClick(v.command1(), Qt::LeftButton);
    QCOMPARE(tempi(v), QStringList({"Gamma#1", "Gamma#2"}));
    QCOMPARE(v.piloticmb()->count(), 2);
    // A driver stored while the viewer is open is found by typing the name.
    QCOMPARE(cerca(v, "Alfa"), QStringList({"Alfa#1"}));
    QVERIFY(messaggi_.mostrati.isEmpty());
}

void TestVisualtempi::ricercaComeLaVedeLOperatore()
{
    for (const char *nome : {"Alfa", "Alfaa", "D'Angelo", "100%", "100x", "a_b", "axb", "a\\b", "", "Ölaf"})
        segna(QString::fromUtf8(nome), 1);
    Visualtempi v(db_, messaggi_);
    v.inizializza();
    // The empty name groups first; the initial choice then stays empty.
    QCOMPARE(v.piloticmb()->itemText(0), QString());
    QCOMPARE(tempi(v), QStringList({"#1"}));

    QCOMPARE(cerca(v, "alfa"), QStringList({"Alfa#1"}));
    QCOMPARE(cerca(v, "ALF?"), QStringList({"Alfa#1"}));
    QCOMPARE(cerca(v, "Alf*"), QStringList({"Alfa#1", "Alfaa#1"}));
    QCOMPARE(cerca(v, "*").size(), 10);
    QCOMPARE(cerca(v, "d'angelo"), QStringList({"D'Angelo#1"}));
    QCOMPARE(cerca(v, "d'*"), QStringList({"D'Angelo#1"}));
    // The engine's own wildcards and the escape character are plain letters here.
    QCOMPARE(cerca(v, "100%"), QStringList({"100%#1"}));
    QCOMPARE(cerca(v, "a_b"), QStringList({"a_b#1"}));
    QCOMPARE(cerca(v, "a\\b"), QStringList({"a\\b#1"}));
    QCOMPARE(cerca(v, "%"), QStringList());
    QCOMPARE(cerca(v, "' OR ''='"), QStringList());
    // An empty text finds only the laps with an empty name.
    QCOMPARE(cerca(v, ""), QStringList({"#1"}));
    // Case folds for ASCII letters only, as the engine compares them.
    QCOMPARE(cerca(v, QString::fromUtf8("Ölaf")), QStringList({QString::fromUtf8("Ölaf#1")}));
    QVERIFY(messaggi_.mostrati.isEmpty());

    QCOMPARE(TempiPiloti::modelloLike("*a?%_\\"), QStringLiteral("%a_\\%\\_\\\\"));
}

void TestVisualtempi::nessunGiroMemorizzato()
{
    Visualtempi v(db_, messaggi_);
    v.inizializza();
    QCOMPARE(v.piloticmb()->count(), 0);
    QCOMPARE(v.piloticmb()->currentText(), QString());
    QCOMPARE(v.tempi().modello().rowCount(), 0);
    QCOMPARE(v.tempi().modello().columnCount(), 3);
    QVERIFY(messaggi_.mostrati.isEmpty());

    // A closed database is reported, and the viewer stays usable and empty.
    db_.chiudi();
    Visualtempi chiuso(db_, messaggi_);
    chiuso.inizializza();
    QCOMPARE(chiuso.piloticmb()->count(), 0);
    QCOMPARE(chiuso.tempi().modello().rowCount(), 0);
    QVERIFY(!messaggi_.mostrati.isEmpty());
}

void TestVisualtempi::finestra()
{
    Visualtempi v(db_, messaggi_);
    QCOMPARE(v.windowTitle(), QStringLiteral("Tempi Pilota"));
    QVERIFY(v.windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(v.size(), QSize(264, 444));
    QVERIFY(v.minimumSize() != v.maximumSize());
    QCOMPARE(v.command1()->text(), QStringLiteral("Aggiorna"));
    QVERIFY(v.piloticmb()->isEditable());
    QCOMPARE(v.msFlexGrid1()->geometry(), QRect(16, 8, 240, 374));
}

QTEST_MAIN(TestVisualtempi)
#include "tst_visualtempi.moc"

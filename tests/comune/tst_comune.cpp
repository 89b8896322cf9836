// What every part shares: the per-user settings store, the dedicated thread of a part's worker.
#include "aiuti.h"
#include "comune/impostazioni.h"
#include "comune/threaddedicato.h"
#include "piattaforma/priorita.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TstComune : public QObject {
    Q_OBJECT
private slots:
    // A file written by hand reads as it stands; the typed readers take only what they can use.
    void impostazioniLette_data()
    {
        QTest::addColumn<QString>("valore");
        QTest::addColumn<QString>("testo");
        QTest::addColumn<int>("interruttore"); // -1: none
        QTest::addColumn<qint64>("intero");    // -1: none (range 0..65535)
        QTest::addColumn<double>("numero");    // -9: none (range -1..1)
        QTest::newRow("uno") << u"1"_s << u"1"_s << 1 << qint64(1) << 1.0;
        QTest::newRow("zero") << u"0"_s << u"0"_s << 0 << qint64(0) << 0.0;
        QTest::newRow("decimale") << u"0.25"_s << u"0.25"_s << -1 << qint64(-1) << 0.25;
        QTest::newRow("virgola") << u"0,25"_s << u"0,25"_s << -1 << qint64(-1) << -9.0;
        QTest::newRow("fuori") << u"70000"_s << u"70000"_s << -1 << qint64(-1) << -9.0;
        QTest::newRow("lista") << u"9600,n,8,1"_s << u"9600,n,8,1"_s << -1 << qint64(-1) << -9.0;
        QTest::newRow("parola") << u"sì"_s << u"sì"_s << -1 << qint64(-1) << -9.0;
        QTest::newRow("vuoto") << QString() << QString() << -1 << qint64(-1) << -9.0;
    }
    void impostazioniLette()
    {
        QFETCH(QString, valore);
        QFETCH(QString, testo);
        QFETCH(int, interruttore);
        QFETCH(qint64, intero);
        QFETCH(double, numero);
        QTemporaryDir cartella;
        const QString ini = cartella.filePath(u"a-mano.ini"_s);
        QVERIFY(scriviFile(ini, valore.isNull() ? QByteArray("[S]\n") : "[S]\nK=" + valore.toUtf8() + "\n"));
        const Impostazioni store(ini);
        QCOMPARE(store.testo(u"S"_s, u"K"_s), testo);
        QCOMPARE(store.interruttore(u"S"_s, u"K"_s).has_value(), interruttore >= 0);
        if (interruttore >= 0) QCOMPARE(*store.interruttore(u"S"_s, u"K"_s), interruttore == 1);
        QCOMPARE(store.intero(u"S"_s, u"K"_s, 0, 65535).value_or(-1), intero);
        QCOMPARE(store.numero(u"S"_s, u"K"_s, -1, 1).value_or(-9), numero);
    }

    // Writes reach the file at once, another store on it (another thread, another
    // process) reads them, and each one is told once.
    void impostazioniScritte()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(u"utente.ini"_s));
        QSignalSpy cambi(&store, &Impostazioni::cambiata);
        const std::unique_ptr<Impostazioni> altro = store.copia();
        store.scriviInterruttore(u"Voce"_s, u"Attivi"_s, true);
        store.scriviIntero(u"Rete"_s, u"Porta"_s, 8081);
        store.scriviNumero(u"Voce"_s, u"Velocita"_s, -0.5);
        store.scrivi(u"Porte"_s, u"Com1"_s, u"/dev/ttyUSB0"_s);
        QCOMPARE(cambi.size(), 4);
        QCOMPARE(cambi.at(1), (QVariantList{u"Rete"_s, u"Porta"_s}));
        QCOMPARE(altro->interruttore(u"Voce"_s, u"Attivi"_s), std::optional<bool>(true));
        QCOMPARE(altro->intero(u"Rete"_s, u"Porta"_s, 1, 65535), std::optional<qint64>(8081));
        QCOMPARE(altro->numero(u"Voce"_s, u"Velocita"_s, -1, 1), std::optional<double>(-0.5));
        // What another store writes is read here too.
        altro->scrivi(u"Porte"_s, u"Com1"_s, u"/dev/ttyACM0"_s);
        QCOMPARE(store.testo(u"Porte"_s, u"Com1"_s), u"/dev/ttyACM0"_s);
        QCOMPARE(cambi.size(), 4);
        QVERIFY(contenuto(store.percorso()).contains("Attivi=1"));
    }

    // The object lives and dies on its named thread, which takes its priority first; restarted, it takes a new one.
    void threadDedicato_data()
    {
        QTest::addColumn<int>("priorita");
        QTest::addColumn<int>("attesa"); // the thread's Qt priority as its object sees it
        QTest::newRow("normale") << int(ThreadDedicato::Priorita::Normale) << int(QThread::InheritPriority);
        QTest::newRow("ceduta") << int(ThreadDedicato::Priorita::Ceduta)
                                << int(priorita::alzabile() ? QThread::InheritPriority : QThread::LowPriority);
        QTest::newRow("alzata") << int(ThreadDedicato::Priorita::Alzata) << int(QThread::TimeCriticalPriority);
    }
    void threadDedicato()
    {
        QFETCH(int, priorita);
        QFETCH(int, attesa);
        ThreadDedicato lavoro(u"lavoro di prova"_s, ThreadDedicato::Priorita(priorita));
        for (int volta = 0; volta < 2; ++volta) {
            auto *oggetto = new QObject;
            bool cancellatoSulSuo = false;
            connect(oggetto, &QObject::destroyed, [&] { cancellatoSulSuo = QThread::currentThread() == &lavoro.thread(); });
            lavoro.avvia(oggetto);
            QVERIFY(lavoro.attivo());
            QThread *dove = nullptr;
            QString nome;
            int vista = -1;
            QMetaObject::invokeMethod(oggetto, [&] {
                dove = QThread::currentThread();
                nome = dove->objectName();
                vista = int(dove->priority());
            }, Qt::BlockingQueuedConnection);
            QCOMPARE(dove, &lavoro.thread());
            QCOMPARE(nome, u"lavoro di prova"_s);
            QCOMPARE(vista, attesa);
            lavoro.ferma();
            QVERIFY(!lavoro.attivo() && cancellatoSulSuo);
        }
    }
};

QTEST_MAIN(TstComune)
#include "tst_comune.moc"

// The live page's server without a browser: request heads from the bytes alone, and the connections it turns away.
#include "web/serverrisultati.h"
#include "web/testahttp.h"

#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;
using Esito = TestaHttp::Esito;

Q_DECLARE_METATYPE(TestaHttp::Esito)

class TstServerRisultati : public QObject {
    Q_OBJECT
private slots:
    void teste_data()
    {
        QTest::addColumn<QByteArray>("dati");
        QTest::addColumn<Esito>("esito");
        QTest::addColumn<QByteArray>("metodo");
        QTest::addColumn<QString>("percorso");
        QTest::addColumn<bool>("chiudi");
        QTest::addColumn<bool>("conCorpo");
        QTest::newRow("get") << QByteArray("GET / HTTP/1.1\r\nHost: a\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << false << false;
        QTest::newRow("solo LF") << QByteArray("GET /api/stato HTTP/1.1\nHost: a\n\n") << Esito::Completa << QByteArray("GET") << u"/api/stato"_s << false << false;
        QTest::newRow("query e codifica") << QByteArray("GET /eventi%20x?a=1 HTTP/1.1\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/eventi x"_s << false << false;
        QTest::newRow("1.0") << QByteArray("GET / HTTP/1.0\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << true << false;
        QTest::newRow("1.0 keep-alive") << QByteArray("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << false << false;
        QTest::newRow("close tra altri") << QByteArray("GET / HTTP/1.1\r\nCONNECTION: upgrade, Close\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << true << false;
        QTest::newRow("corpo") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n") << Esito::Completa << QByteArray("POST") << u"/"_s << true << true;
        QTest::newRow("corpo a pezzi") << QByteArray("GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << true << true;
        QTest::newRow("lunghezza zero") << QByteArray("GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << false << false;
        QTest::newRow("righe vuote prima") << QByteArray("\r\n\n\r\nGET / HTTP/1.1\r\n\r\n") << Esito::Completa << QByteArray("GET") << u"/"_s << false << false;
        QTest::newRow("solo righe vuote") << QByteArray("\r\n\r\n") << Esito::Nessuna << QByteArray() << QString() << false << false;
        QTest::newRow("iniziata") << QByteArray("GET / HTTP/1.1\r\nHost") << Esito::Incompleta << QByteArray() << QString() << false << false;
        QTest::newRow("due parti") << QByteArray("GET /\r\n\r\n") << Esito::NonValida << QByteArray() << QString() << false << false;
        QTest::newRow("quattro parti") << QByteArray("GET / x HTTP/1.1\r\n\r\n") << Esito::NonValida << QByteArray() << QString() << false << false;
        QTest::newRow("http 2") << QByteArray("GET / HTTP/2\r\n\r\n") << Esito::NonValida << QByteArray() << QString() << false << false;
        QTest::newRow("binario") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\n\n", 13) << Esito::NonValida << QByteArray() << QString() << false << false;
    }
    // Every head, whole and fed a byte at a time: incomplete until its blank line, then the same answer.
    void teste()
    {
        QFETCH(QByteArray, dati);
        QFETCH(Esito, esito);
        QFETCH(QByteArray, metodo);
        QFETCH(QString, percorso);
        QFETCH(bool, chiudi);
        QFETCH(bool, conCorpo);
        const TestaHttp t = leggiTestaHttp(dati, 16 * 1024);
        QCOMPARE(t.esito, esito);
        if (esito == Esito::Completa || esito == Esito::Nessuna) QCOMPARE(t.consumati, dati.size());
        QCOMPARE(t.metodo, metodo);
        QCOMPARE(t.percorso, percorso);
        QCOMPARE(t.chiudi, chiudi);
        QCOMPARE(t.conCorpo, conCorpo);
        if (esito != Esito::Completa) return;
        for (qsizetype n = 1; n < dati.size(); ++n) {
            const TestaHttp parte = leggiTestaHttp(dati.left(n), 16 * 1024);
            QVERIFY2(parte.esito == Esito::Incompleta || parte.esito == Esito::Nessuna, qPrintable(QString::number(n)));
        }
    }

    // Requests one behind the other: each takes its own bytes, the rest waits.
    void inFila()
    {
        const QByteArray prima = "GET /a HTTP/1.1\r\n\r\n", seconda = "GET /b HTTP/1.1\r\nConnection: close\r\n\r\n";
        QByteArray dati = prima + seconda + "GET /c";
        TestaHttp t = leggiTestaHttp(dati, 1024);
        QVERIFY(t.esito == Esito::Completa && t.percorso == u"/a"_s && !t.chiudi);
        QCOMPARE(t.consumati, prima.size());
        dati.remove(0, t.consumati);
        t = leggiTestaHttp(dati, 1024);
        QVERIFY(t.esito == Esito::Completa && t.percorso == u"/b"_s && t.chiudi);
        dati.remove(0, t.consumati);
        QCOMPARE(leggiTestaHttp(dati, 1024).esito, Esito::Incompleta);
    }

    // The limit counts the head alone (not the blank lines before it), ended or not.
    void limite()
    {
        const QByteArray testa = "GET /" + QByteArray(100, 'x') + " HTTP/1.1\r\n\r\n";
        QCOMPARE(leggiTestaHttp(testa, testa.size()).esito, Esito::Completa);
        QCOMPARE(leggiTestaHttp("\r\n\r\n" + testa, testa.size()).esito, Esito::Completa);
        QCOMPARE(leggiTestaHttp(testa, testa.size() - 1).esito, Esito::TroppoLunga);
        // A head that never ends is refused as soon as it passes the limit.
        QCOMPARE(leggiTestaHttp(testa.left(51), 50).esito, Esito::TroppoLunga);
        QCOMPARE(leggiTestaHttp(testa.left(50), 50).esito, Esito::Incompleta);
    }

    // A connection over the cap is answered 503 and counted until it goes; when the
    // server stops, each one counts itself out once, so a server started again
    // has the same caps as before.
    void rifiutiQuandoIlServerSiFerma()
    {
        ServerRisultati server;
        for (int volta = 0; volta < 3; ++volta) {
            const quint16 porta = server.ascolta(0, nullptr);
            QVERIFY(porta != 0);
            QObject clienti;
            for (int i = 0; i <= ServerRisultati::massimoPerIndirizzo; ++i) {
                auto *s = new QTcpSocket(&clienti);
                s->connectToHost(QHostAddress::LocalHost, porta);
            }
            QTRY_COMPARE(server.connessioniAperte(), ServerRisultati::massimoPerIndirizzo);
            QTRY_COMPARE(server.rifiutiInCorso(), 1);
            server.chiudi();
            QCOMPARE(server.rifiutiInCorso(), 0);
            QCOMPARE(server.connessioniAperte(), 0);
        }
    }
};

QTEST_MAIN(TstServerRisultati)
#include "tst_serverrisultati.moc"

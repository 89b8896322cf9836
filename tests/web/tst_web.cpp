// The live results page on a real database, lap writer and server: what it
// says against the file, what it refuses, how it holds up under load, and what
// a real browser shows.
#include "database/archivioasincrono.h"
#include "database/archiviotempi.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "serial/impostazioniporta.h"
#include "timing/globale.h"
#include "timing/sessione.h"
#include "timing/tempotesto.h"
#include "web/dialogorete.h"
#include "web/risultatiinrete.h"
#include "web/serverrisultati.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Risposta {
    int codice = 0;
    QByteArray testate, corpo;
    QByteArray testata(const QByteArray &nome) const
    {
        const QRegularExpression re(u"(?im)^"_s + QString::fromLatin1(nome) + u": *([^\r]*)\r$"_s);
        return re.match(QString::fromLatin1(testate)).captured(1).toLatin1();
    }
};

// One request on a connection of its own, read to the end of its answer.
Risposta chiedi(quint16 porta, const QByteArray &metodo, const QByteArray &percorso)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, porta);
    Risposta r;
    if (!s.waitForConnected(3000)) return r;
    s.write(metodo + ' ' + percorso + " HTTP/1.1\r\nHost: prova\r\nContent-Length: 0\r\n\r\n");
    QByteArray dati;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000 && (s.bytesAvailable() || s.waitForReadyRead(50) || s.state() == QAbstractSocket::ConnectedState)) {
        dati += s.readAll();
        const qsizetype fine = dati.indexOf("\r\n\r\n");
        if (fine < 0) continue;
        r.testate = dati.left(fine + 2);
        r.codice = dati.mid(9, 3).toInt();
        const QByteArray lunghezza = r.testata("Content-Length");
        if (!lunghezza.isEmpty() && dati.size() - fine - 4 >= lunghezza.toInt()) {
            r.corpo = dati.mid(fine + 4, lunghezza.toInt());
            return r;
        }
    }
    r.corpo = dati.mid(dati.indexOf("\r\n\r\n") + 4);
    return r;
}

quint16 portaLibera()
{
    QTcpServer s;
    s.listen(QHostAddress::Any, 0);
    return s.serverPort();
}

// The program's lap store on a temporary file, the page's settings in an INI
// file of their own, and a session of two lanes on a hand-moved clock.
struct Banco {
    QTemporaryDir cartella;
    QString percorso = cartella.filePath(u"saettinopro.mb"_s);
    Database letture;
    MessaggiFinti messaggi;
    OrologioManuale orologio{100.0};
    ImpostazioniPorta impostazioni{cartella.filePath(u"utente.ini"_s)};
    std::unique_ptr<ArchivioAsincrono> archivio;
    std::unique_ptr<RisultatiInRete> rete;
    std::unique_ptr<Sessione> sessione;

    explicit Banco(const QStringList &piloti)
    {
        schema::apriDatabase(letture, percorso);
        archivio = std::make_unique<ArchivioAsincrono>(letture, percorso, messaggi);
        rete = std::make_unique<RisultatiInRete>(impostazioni, *archivio);
        sessione = std::make_unique<Sessione>(orologio, messaggi, *archivio);
        for (int i = 0; i < piloti.size(); ++i) sessione->impostaPilota(i, piloti[i]);
    }
    ~Banco() { rete.reset(); }
    void segna(const QString &pilota, int n, float secondi)
    {
        ArchivioTempi(letture, messaggi).memorizzaOEccezione(
            {pilota, n, secondi, testoTempo(secondi), globale().nomePista, orologio.dataOra()});
    }
    quint16 accendi()
    {
        const quint16 porta = portaLibera();
        if (!rete->imposta(true, porta)) qWarning() << rete->errore();
        rete->seguiSessione(sessione.get());
        return rete->portaInAscolto();
    }
    // /api/stato once the standings count `giri` laps (or after five seconds).
    static QJsonObject stato(quint16 porta, int giri)
    {
        QJsonObject s;
        for (QElapsedTimer t; !t.isValid() || t.elapsed() < 5000; QTest::qWait(20)) {
            if (!t.isValid()) t.start();
            s = QJsonDocument::fromJson(chiedi(porta, "GET", "/api/stato").corpo).object();
            int n = 0;
            for (const QJsonValue &v : s["classifica"].toArray()) n += v["giri"].toInt();
            if (n == giri) break;
        }
        return s;
    }
};

QJsonArray righe(const QList<QVariantList> &tabella, const QStringList &campi)
{
    QJsonArray a;
    for (const QVariantList &r : tabella) {
        QJsonObject o;
        for (int c = 0; c < campi.size(); ++c) o[campi[c]] = QJsonValue::fromVariant(r[c]);
        a.append(o);
    }
    return a;
}

const QString alfa = u"Alfa <script>alert('x')</script>"_s, beta = u"Béta \"Lampo\" d'Oro"_s,
              gam = u"Gämma & Zoë"_s, delta = u"Δelta;</td>"_s;

} // namespace

class TestWeb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { globale().nomePista = u"Pista <Nord> & \"Sud\""_s; }

    // A seeded session: standings with best laps and gaps, the five fastest
    // laps and the lanes as the file and the window have them, names shown as
    // typed and never run; then a lap marked on the window reaches the page.
    void statoEPaginaDalDatabase()
    {
        Banco b({alfa, beta});
        for (float t : {30.25f, 30.0f, 30.25f}) b.segna(alfa, b.archivio->contaGiri(alfa) + 1, t);
        for (float t : {31.0f, 30.5f, 31.25f}) b.segna(beta, b.archivio->contaGiri(beta) + 1, t);
        for (float t : {29.5f, 40.0f}) b.segna(gam, b.archivio->contaGiri(gam) + 1, t);
        b.segna(delta, 1, 45.0f);
        b.sessione->inizializza();
        const quint16 porta = b.accendi();
        QVERIFY(porta != 0 && b.rete->inServizio());
        QJsonObject s = Banco::stato(porta, 9);
        const QStringList campi{"posizione", "pilota", "giri", "tempoTotale", "migliorGiro", "distacco"};
        QCOMPARE(s["classifica"].toArray(),
                 righe({{1, alfa, 3, "01:30,500", "00:30,000", ""}, {2, beta, 3, "01:32,750", "00:30,500", "+00:02,250"},
                        {3, gam, 2, "01:09,500", "00:29,500", "+1 giro"}, {4, delta, 1, "00:45,000", "00:45,000", "+2 giri"}},
                       campi));
        // The five fastest as the file orders them, read here with SQL of the test's own.
        QList<QVariantList> veloci;
        int n = 0;
        for (Istruzione q = b.letture.prepara("SELECT pilota, giroN, Tempo FROM Giri ORDER BY tempoGiro, id LIMIT 5"); q.passo();)
            veloci.append({++n, q.testo(0), q.intero(1), q.testo(2)});
        QCOMPARE(s["giriVeloci"].toArray(), righe(veloci, {"posizione", "pilota", "giro", "tempo"}));
        QCOMPARE(s["pista"].toString(), globale().nomePista);
        QCOMPARE(s["stato"].toString(), u"In attesa del via"_s);

        // A lap marked on the window: stored by the writer, on the page with the lane's last lap.
        b.sessione->start();
        b.orologio.avanza(31.5);
        b.sessione->marca(0);
        b.sessione->tick(); // Timer1: the session clock
        QTRY_COMPARE_WITH_TIMEOUT(Banco::stato(porta, 10)["corsie"].toArray().size(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Banco::stato(porta, 10)["tempoSessione"].toString(), u"00:31"_s, 5000);
        s = Banco::stato(porta, 10);
        QCOMPARE(s["corsie"].toArray(), righe({{1, alfa, 4, "00:31,500", "00:31,500"}, {2, beta, 3, "00:00,000", "00:00,000"}},
                                              {"corsia", "pilota", "giri", "ultimoGiro", "migliorGiro"}));
        QCOMPARE(s["classifica"][0]["giri"].toInt(), 4);
        QCOMPARE(s["stato"].toString(), u"In corso"_s);

        // The page: every name escaped, only its own script, allowed by its hash.
        const Risposta p = chiedi(porta, "GET", "/");
        QCOMPARE(p.codice, 200);
        const QString html = QString::fromUtf8(p.corpo);
        for (const QString &nome : {alfa, beta, gam, delta, globale().nomePista})
            QVERIFY2(html.contains(nome.toHtmlEscaped().replace(u"'"_s, u"&#39;"_s)), qPrintable(nome));
        QCOMPARE(html.count(u"<script"_s), 1);
        QVERIFY(!html.contains(u"</td>\"")) ;
        const QString script = html.section(u"<script>"_s, 1).section(u"</script>"_s, 0, 0);
        const QByteArray hash = QCryptographicHash::hash(script.toUtf8(), QCryptographicHash::Sha256).toBase64();
        const QByteArray csp = p.testata("Content-Security-Policy");
        QVERIFY2(csp.contains("default-src 'none'") && csp.contains("script-src 'sha256-" + hash + "'"), csp);
        QCOMPARE(p.testata("X-Content-Type-Options"), "nosniff");
        QVERIFY(p.testata("Content-Type").startsWith("text/html; charset=utf-8"));

        // Read-only, nothing else served.
        for (const auto &[metodo, percorso, codice] : QList<std::tuple<QByteArray, QByteArray, int>>{
                 {"POST", "/", 405}, {"PUT", "/api/stato", 405}, {"DELETE", "/eventi", 405}, {"HEAD", "/", 405},
                 {"GET", "/favicon.ico", 404}, {"GET", "/api/stato/..", 404}, {"GET", "/../saettinopro.mb", 404}}) {
            const Risposta r = chiedi(porta, metodo, percorso);
            QVERIFY2(r.codice == codice, metodo + ' ' + percorso + ' ' + QByteArray::number(r.codice));
            QVERIFY(!r.testata("Content-Security-Policy").isEmpty() && r.testata("X-Content-Type-Options") == "nosniff");
            if (codice == 405) QCOMPARE(r.testata("Allow"), "GET");
        }
        // Off: the port closes at once and the choice is kept.
        QVERIFY(b.rete->imposta(false, porta));
        QCOMPARE(chiedi(porta, "GET", "/").codice, 0);
        QCOMPARE(b.impostazioni.leggi(u"RisultatiInRete"_s, u"Attivo"_s), u"0"_s);
    }
};

QTEST_MAIN(TestWeb)
#include "tst_web.moc"

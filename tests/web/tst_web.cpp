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
#include <QScopeGuard>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <atomic>
#include <arpa/inet.h>
#include <netinet/in.h>
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

// The other side of the load test, on a thread of its own: screens holding the
// event stream (each keeps the standings' lap count of the last event it read)
// and clients asking a page or the JSON at a steady rate, each on a connection of its own.
class Carico : public QObject {
public:
    quint16 porta = 0;
    std::array<std::atomic<int>, ServerRisultati::massimoFlussi> giri{};
    std::atomic<int> chieste = 0, risposte = 0, altre = 0;
    QElapsedTimer tempo;
    QTimer passo{this};

    void avvia(int schermi, int alSecondo)
    {
        for (int i = 0; i < schermi; ++i) {
            auto *s = apri("/eventi");
            connect(s, &QTcpSocket::readyRead, this, [this, s, i] {
                const QByteArray d = s->property("b").toByteArray() + s->readAll();
                const qsizetype fine = d.lastIndexOf("\n\n"), dati = d.lastIndexOf("\ndata: ", fine);
                s->setProperty("b", d.mid(fine + 2));
                int n = 0;
                for (const QJsonValue &v : QJsonDocument::fromJson(d.mid(dati + 7, fine - dati - 7))["classifica"].toArray())
                    n += v["giri"].toInt();
                if (dati >= 0) giri[i] = n;
            });
        }
        tempo.start();
        connect(&passo, &QTimer::timeout, this, [this, alSecondo] {
            while (chieste < tempo.elapsed() * alSecondo / 1000) {
                auto *s = apri(chieste++ % 2 ? "/" : "/api/stato");
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    if (!s->peek(s->bytesAvailable()).contains("\r\n\r\n")) return;
                    ++(s->peek(12) == "HTTP/1.1 200" ? risposte : altre);
                    s->deleteLater();
                });
            }
        });
        passo.start(5);
    }
    QTcpSocket *apri(const QByteArray &percorso)
    {
        auto *s = new QTcpSocket(this);
        s->connectToHost(QHostAddress::LocalHost, porta);
        s->write("GET " + percorso + " HTTP/1.1\r\nHost: prova\r\n\r\n");
        return s;
    }
};

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
    }

    // 64 screens hold the event stream, one of them never reading, while other
    // clients ask 200 pages a second for ten seconds and the window marks a lap
    // every 25 ms: every lap is stored, every reading screen gets the final
    // standings, every request is answered, and a 65th screen is turned away.
    void caricoSuiFlussi()
    {
        Banco b({u"Uno"_s, u"Due"_s, u"Tre"_s, u"Quattro"_s});
        b.sessione->inizializza();
        b.sessione->start();
        const quint16 porta = b.accendi();
        ServerRisultati *server = b.rete->server();
        // The screen that stops reading: a small receive window, and nothing read.
        const int fermo = ::socket(AF_INET, SOCK_STREAM, 0);
        const int piccolo = 4096;
        ::setsockopt(fermo, SOL_SOCKET, SO_RCVBUF, &piccolo, sizeof piccolo);
        sockaddr_in indirizzo{};
        indirizzo.sin_family = AF_INET;
        indirizzo.sin_port = htons(porta);
        indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(fermo, reinterpret_cast<sockaddr *>(&indirizzo), sizeof indirizzo), 0);
        const QByteArray richiesta = "GET /eventi HTTP/1.1\r\nHost: prova\r\n\r\n";
        QCOMPARE(::write(fermo, richiesta.constData(), richiesta.size()), richiesta.size());
        QTRY_COMPARE(server->flussiAperti(), 1);

        QThread filo;
        auto *carico = new Carico;
        carico->porta = porta;
        carico->moveToThread(&filo);
        connect(&filo, &QThread::finished, carico, &QObject::deleteLater);
        filo.start();
        const auto fine = qScopeGuard([&] {
            filo.quit();
            filo.wait();
            ::close(fermo);
        });
        QMetaObject::invokeMethod(carico, [carico] { carico->avvia(ServerRisultati::massimoFlussi - 1, 200); });
        QTRY_COMPARE(server->flussiAperti(), ServerRisultati::massimoFlussi);
        QCOMPARE(chiedi(porta, "GET", "/eventi").codice, 503);

        int segnati = 0;
        b.orologio.avanza(1.0); // past the lock-out of the Start
        QTimer giro, timer1;
        connect(&giro, &QTimer::timeout, this, [&] {
            b.orologio.avanza(0.3);
            b.sessione->marca(segnati++ % 4);
        });
        connect(&timer1, &QTimer::timeout, b.sessione.get(), &Sessione::tick);
        giro.start(25);
        timer1.start(100);
        QTest::qWait(10000);
        giro.stop();
        timer1.stop();
        QMetaObject::invokeMethod(carico, [carico] { carico->passo.stop(); }, Qt::BlockingQueuedConnection);

        QVERIFY(b.archivio->svuota());
        QCOMPARE(Banco::stato(porta, segnati)["classifica"].toArray().size(), 4);
        {
            Istruzione conta = b.letture.prepara("SELECT count(*) FROM Giri");
            QVERIFY(conta.passo() && conta.intero(0) == segnati);
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(carico->giri.begin(), carico->giri.end() - 1,
                                             [&](const std::atomic<int> &g) { return g == segnati; }), 10000);
        QTRY_COMPARE(carico->risposte + carico->altre, carico->chieste.load());
        QVERIFY2(carico->chieste >= 1990 && carico->altre == 0, qPrintable(QString::number(carico->altre)));
        filo.quit();
        filo.wait();
        QTRY_COMPARE(server->flussiAperti(), 1);

        // Standings of 300 drivers make events of some 40 kB: the screen that reads
        // nothing soon has more waiting than the cap and is dropped.
        {
            Transazione t(b.letture);
            for (int i = 0; i < 300; ++i)
                ArchivioTempi::inserisciGiro(b.letture, {u"Pilota di prova %1"_s.arg(i), 1, 50.0f + i, testoTempo(50.0f + i),
                                                         {}, b.orologio.dataOra()});
            ArchivioTempi::ricostruisciTempoTotale(b.letture);
            t.conferma();
        }
        b.orologio.avanza(1.5);
        b.sessione->marca(0);
        for (int i = 0; i < 300 && server->flussiAperti() > 0; ++i) {
            FotoSessione f;
            f.tempoSessione = QString::number(i);
            QMetaObject::invokeMethod(server, [server, f] { server->riceviSessione(f); });
            QTest::qWait(2);
        }
        QTRY_COMPARE(server->flussiAperti(), 0);
    }

    // The dialog: off and on 8080 at first; a port already taken is told and
    // another one taken at once; the choice is kept for the next start, and
    // turning it off closes the port at once.
    void dialogoRete()
    {
        Banco b({});
        QTcpServer occupata;
        QVERIFY(occupata.listen(QHostAddress::Any, 0));
        DialogoRete d(*b.rete);
        QVERIFY(!d.attivaChk()->isChecked() && d.portaSpin()->value() == 8080 && !b.rete->inServizio());
        d.portaSpin()->setValue(occupata.serverPort());
        d.attivaChk()->setChecked(true);
        QVERIFY2(!b.rete->inServizio() && d.statoLbl()->text().contains(u"già usata"_s), qPrintable(d.statoLbl()->text()));
        const quint16 libera = portaLibera();
        d.portaSpin()->setValue(libera);
        emit d.portaSpin()->editingFinished();
        QVERIFY(b.rete->inServizio() && b.rete->portaInAscolto() == libera);
        QCOMPARE(chiedi(libera, "GET", "/").codice, 200);
        const QStringList indirizzi = b.rete->indirizzi();
        QCOMPARE(d.indirizziLbl()->text().count(u"<a href=\"http://"_s), indirizzi.size());
        QVERIFY(indirizzi.isEmpty() || (d.indirizziLbl()->text().contains(indirizzi.first()) && !d.qrLbl()->pixmap().isNull()));
        QVERIFY(!d.indirizziLbl()->text().contains(u"127.0.0.1"_s));
        RisultatiInRete dopo(b.impostazioni, *b.archivio);
        QVERIFY(dopo.attivo() && dopo.porta() == libera);
        d.attivaChk()->setChecked(false);
        QVERIFY(!b.rete->inServizio() && !dopo.attivo());
        QCOMPARE(chiedi(libera, "GET", "/").codice, 0);
    }

    // The page in a real browser: a lap marked while it is open reaches the
    // standings through the event stream, names shown as text. Turning the page
    // off ends the stream, the browser then writes its DOM and a screenshot
    // (into uscita-prova/ of the test's working folder).
    void paginaInChromium()
    {
        const QString chromium = QStandardPaths::findExecutable(u"chromium"_s);
        QVERIFY2(!chromium.isEmpty(), "chromium non trovato: scripts/setup.sh installa il pacchetto Debian chromium");
        Banco b({alfa, beta});
        b.segna(alfa, 1, 30.25f);
        b.sessione->inizializza();
        b.sessione->start();
        const quint16 porta = b.accendi();
        quint64 inviata = 0;
        connect(b.rete->server(), &ServerRisultati::inviato, this, [&](quint64 lettura) { inviata = lettura; });
        QTemporaryDir profilo;
        const QString uscita = QDir::current().absoluteFilePath(u"uscita-prova"_s);
        const QString schermata = uscita + u"/pagina-risultati.png"_s;
        QVERIFY(QDir().mkpath(uscita));
        QFile::remove(schermata);
        QStringList argomenti{u"--headless"_s, u"--disable-gpu"_s, u"--disable-quic"_s, u"--no-first-run"_s,
                              u"--disable-background-networking"_s, u"--disable-component-update"_s, u"--disable-sync"_s,
                              u"--disable-dev-shm-usage"_s,
                              u"--user-data-dir="_s + profilo.path(), u"--window-size=1280,720"_s,
                              u"--virtual-time-budget=3000"_s, u"--screenshot="_s + schermata, u"--dump-dom"_s,
                              u"http://127.0.0.1:%1/"_s.arg(porta)};
        if (::geteuid() == 0) argomenti.prepend(u"--no-sandbox"_s);
        QProcess browser;
        browser.start(chromium, argomenti);
        QVERIFY(browser.waitForStarted());
        const auto chiudi = qScopeGuard([&] { browser.kill(); browser.waitForFinished(); });
        QTRY_COMPARE_WITH_TIMEOUT(b.rete->server()->flussiAperti(), 1, 30000);

        b.orologio.avanza(28.125);
        b.sessione->marca(1);
        const quint64 lettura = Banco::stato(porta, 2)["lettura"].toInteger();
        QTRY_VERIFY(inviata >= quint64(lettura));
        QVERIFY(b.rete->imposta(false, porta));
        QVERIFY2(browser.waitForFinished(30000), browser.readAllStandardError().right(2000));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        const QString righe = dom.section(u"<tbody id=\"classifica\""_s, 1).section(u"</tbody>"_s, 0, 0);
        QVERIFY2(righe.endsWith(u"<tr><td class=\"num\">1</td><td class=\"nome\">Béta \"Lampo\" d'Oro</td>"
                                "<td class=\"num\">1</td><td>00:28,125</td><td>00:28,125</td><td></td></tr>"
                                "<tr><td class=\"num\">2</td><td class=\"nome\">Alfa &lt;script&gt;alert('x')&lt;/script&gt;</td>"
                                "<td class=\"num\">1</td><td>00:30,250</td><td>00:30,250</td><td>+00:02,125</td></tr>"_s),
                 qPrintable(righe));
        QCOMPARE(dom.count(u"<script"_s), 1);
        QVERIFY(QImage(schermata).size() == QSize(1280, 720));
        qInfo("Schermata: %s", qPrintable(schermata));
    }
};

QTEST_MAIN(TestWeb)
#include "tst_web.moc"

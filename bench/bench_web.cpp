// The live results page under its load, on a file of 20,000 laps of 40 drivers
// (the standings of 40 with their best laps are read after every commit):
// 64 screens hold the event stream while
// a lap is marked every 50 ms, first alone, then with 200 more requests a
// second. For each commit of the lap writer: the time until the server has
// written the event to every stream (the event leaving the server), and the
// time until each screen has read it. Also the window's side: how late a 10 ms
// timer of the timing thread ran meanwhile. Prints median, 99th percentile, max.
#include "database/archivioasincrono.h"
#include "database/archiviotempi.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "comune/impostazioni.h"
#include "timing/globale.h"
#include "timing/sessione.h"
#include "timing/tempotesto.h"
#include "web/risultatiinrete.h"
#include "web/serverrisultati.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

qint64 ora() { return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Commit instants by results reading, and what happened to each reading.
struct Registro {
    QMutex mutex;
    qint64 ultimoCommit = 0;
    std::map<quint64, qint64> commit;      // reading -> commit instant
    std::vector<double> uscita, arrivo;    // ms from commit
    std::map<quint64, bool> uscite;
    void uscito(quint64 lettura)
    {
        const qint64 t = ora();
        QMutexLocker l(&mutex);
        // The first event with a reading is the one its commit made; later ones carry session changes.
        if (auto c = commit.find(lettura); c != commit.end() && !std::exchange(uscite[lettura], true))
            uscita.push_back(double(t - c->second) / 1e6);
    }
    void arrivato(quint64 lettura, qint64 t)
    {
        QMutexLocker l(&mutex);
        if (auto c = commit.find(lettura); c != commit.end()) arrivo.push_back(double(t - c->second) / 1e6);
    }
};

// The screens and the page requests, on a thread of their own.
class Schermi : public QObject {
public:
    Registro *registro = nullptr;
    quint16 porta = 0;
    std::vector<QTcpSocket *> schermi;
    std::vector<QByteArray> buffer;
    std::vector<quint64> ultima;
    QTimer passo{this};
    QElapsedTimer tempo;
    int chieste = 0, alSecondo = 0;

    void apri(int n)
    {
        for (int i = 0; i < n; ++i) {
            auto *s = new QTcpSocket(this);
            schermi.push_back(s);
            buffer.emplace_back();
            ultima.push_back(0);
            connect(s, &QTcpSocket::readyRead, this, [this, i] { leggi(i); });
            s->connectToHost(QHostAddress::LocalHost, porta);
            s->write("GET /eventi HTTP/1.1\r\nHost: banco\r\n\r\n");
        }
        connect(&passo, &QTimer::timeout, this, [this] {
            while (alSecondo && chieste < tempo.elapsed() * alSecondo / 1000) {
                ++chieste;
                auto *s = new QTcpSocket(this);
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    if (s->peek(s->bytesAvailable()).contains("\r\n\r\n")) s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                s->connectToHost(QHostAddress::LocalHost, porta);
                s->write(chieste % 2 ? "GET / HTTP/1.1\r\nHost: banco\r\n\r\n" : "GET /api/stato HTTP/1.1\r\nHost: banco\r\n\r\n");
            }
        });
        passo.start(5);
    }
    void richieste(int n)
    {
        alSecondo = n;
        chieste = 0;
        tempo.start();
    }
    void leggi(int i)
    {
        const qint64 t = ora();
        buffer[i] += schermi[i]->readAll();
        for (qsizetype fine; (fine = buffer[i].indexOf("\n\n")) >= 0; buffer[i].remove(0, fine + 2)) {
            const qsizetype k = buffer[i].indexOf("\"lettura\":");
            if (k < 0 || k > fine) continue;
            const quint64 lettura = buffer[i].mid(k + 10, 20).split(',').first().toULongLong();
            if (lettura > ultima[i]) registro->arrivato(lettura, t);
            ultima[i] = std::max(ultima[i], lettura);
        }
    }
};

void stampa(const char *nome, std::vector<double> v, double obiettivo = 0)
{
    if (v.empty()) {
        std::printf("%-44s no samples\n", nome);
        return;
    }
    std::sort(v.begin(), v.end());
    const double p99 = v[std::min(v.size() - 1, size_t(std::ceil(0.99 * double(v.size()))) - 1)];
    std::printf("%-44s %7.2f / %7.2f / %7.2f ms (%zu)", nome, v[v.size() / 2], p99, v.back(), v.size());
    if (obiettivo > 0) std::printf("  p99 target under %.0f ms: %s", obiettivo, p99 < obiettivo ? "met" : "MISSED");
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Registro registro; // outlives the writer and the server that report to it
    QTemporaryDir cartella;
    const QString percorso = cartella.filePath(QStringLiteral("saettinopro.mb"));
    globale().nomePista = QStringLiteral("Pista Nord");
    Database letture;
    schema::apriDatabase(letture, percorso);
    // A long day already stored: 20,000 laps of 40 drivers.
    {
        Transazione t(letture);
        for (int i = 0; i < 20000; ++i) {
            const float tempo = 40.0f + float((i * 7919) % 20000) / 1000.0f;
            ArchivioTempi::inserisciGiro(letture, {QStringLiteral("Pilota %1").arg(i % 40 + 1), i / 40 + 1, tempo,
                                                   testoTempo(tempo), globale().nomePista, QDateTime::currentDateTime()});
        }
        ArchivioTempi::ricostruisciTempoTotale(letture);
        t.conferma();
    }
    MessaggiFinti messaggi;
    OrologioManuale orologio(36000.0);
    ArchivioAsincrono archivio(letture, percorso, messaggi);
    Impostazioni impostazioni(cartella.filePath(QStringLiteral("utente.ini")));
    RisultatiInRete rete(impostazioni, archivio);
    Sessione sessione(orologio, messaggi, archivio);
    for (int i = 0; i < 8; ++i) sessione.impostaPilota(i, QStringLiteral("Pilota %1").arg(i + 1));
    sessione.inizializza();
    // Connected before the page is: these run before the reading is posted to the server.
    ScrittoreGiri *scrittore = archivio.scrittore();
    QObject::connect(scrittore, &ScrittoreGiri::scritte, scrittore, [&] { registro.ultimoCommit = ora(); }, Qt::DirectConnection);
    // A reading sent right after a commit belongs to it; others (the page turned on, a Load) to none.
    QObject::connect(scrittore, &ScrittoreGiri::risultati, scrittore, [&](const Risultati &r) {
        QMutexLocker l(&registro.mutex);
        if (registro.ultimoCommit) registro.commit[r.numero] = std::exchange(registro.ultimoCommit, 0);
    }, Qt::DirectConnection);
    quint16 porta = 0;
    {
        QTcpServer libera;
        libera.listen(QHostAddress::LocalHost, 0);
        porta = libera.serverPort();
    }
    if (!rete.imposta(true, porta)) {
        std::fprintf(stderr, "%s\n", qPrintable(rete.errore()));
        return 1;
    }
    rete.seguiSessione(&sessione);

    ServerRisultati *server = rete.server();
    QObject::connect(server, &ServerRisultati::inviato, server, [&](quint64 lettura) { registro.uscito(lettura); },
                     Qt::DirectConnection);

    QThread filo;
    auto *schermi = new Schermi;
    schermi->registro = &registro;
    schermi->porta = porta;
    schermi->moveToThread(&filo);
    QObject::connect(&filo, &QThread::finished, schermi, &QObject::deleteLater);
    filo.start();
    QMetaObject::invokeMethod(schermi, [schermi] { schermi->apri(ServerRisultati::massimoFlussi); });
    QElapsedTimer attesa;
    attesa.start();
    while (server->flussiAperti() < ServerRisultati::massimoFlussi && attesa.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("%d screens on the event stream, a lap every 50 ms for 15 s per round\n", server->flussiAperti());
    std::printf("%-44s %7s / %7s / %7s\n", "", "median", "p99", "max");

    sessione.start();
    orologio.avanza(2.0);
    for (const int alSecondo : {0, 200}) {
        QMetaObject::invokeMethod(schermi, [schermi, alSecondo] { schermi->richieste(alSecondo); },
                                  Qt::BlockingQueuedConnection);
        {
            QMutexLocker l(&registro.mutex);
            registro.uscita.clear();
            registro.arrivo.clear();
        }
        std::vector<double> ritardi;
        int k = 0;
        QTimer giro, battito;
        QObject::connect(&giro, &QTimer::timeout, [&] {
            orologio.avanza(0.2);
            sessione.marca(k++ % 8);
        });
        qint64 atteso = 0;
        QObject::connect(&battito, &QTimer::timeout, [&] {
            const qint64 t = ora();
            if (atteso) ritardi.push_back(std::max(0.0, double(t - atteso) / 1e6));
            atteso = t + 10'000'000;
        });
        giro.setTimerType(Qt::PreciseTimer);
        battito.setTimerType(Qt::PreciseTimer);
        giro.start(50);
        battito.start(10);
        QEventLoop ciclo;
        QTimer::singleShot(15000, &ciclo, &QEventLoop::quit);
        ciclo.exec();
        giro.stop();
        battito.stop();
        archivio.svuota();
        QThread::msleep(300);
        QCoreApplication::processEvents();
        std::printf("-- with %d page requests a second besides, %d laps\n", alSecondo, k);
        QMutexLocker l(&registro.mutex);
        stampa("commit to event written to all 64 streams", registro.uscita, 50);
        stampa("commit to event read by a screen", registro.arrivo);
        stampa("lateness of a 10 ms timer of the window", ritardi);
    }
    filo.quit();
    filo.wait();
    return messaggi.mostrati.isEmpty() ? 0 : 1;
}

// CPU use of the program while it polls the timing device, and the delay from
// a status byte arriving to its mark taking effect.
//
// Phase 1 and 2: the timing window as the program builds it (real port on its
// own thread, serial input, session, the lap store's writer on a new database
// file, the two grids) polls the
// saettino-simulatore program, started as a separate process, for a minute
// with every line idle and for a minute with line 1 held active (a lap about
// every 1.1 s, each one stored and the grids refreshed). CPU is this process's
// user + system time from getrusage over the wall time.
// Phase 3: status bytes written into a pseudo-terminal one at a time; the time
// from the write to the moment the window's thread has counted the lap.
//
// Usage: bench_seriale [seconds per phase, default 60]
#include "archiviofinto.h"
#include "database/archivioasincrono.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "orologiomanuale.h"
#include "results/grigliarisultati.h"
#include "serial/coppiapty.h"
#include "comune/impostazioni.h"
#include "serial/portareale.h"
#include "timing/interrogatoreseriale.h"
#include "timing/lineaseriale.h"
#include "timing/rilevago.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSecondi()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

struct Misura {
    double cpu = 0, parete = 0;
    int eventi = 0;
    double percentuale() const { return 100.0 * cpu / parete; }
};

Misura misura(LineaSeriale &linea, int secondi)
{
    int eventi = 0;
    QObject ricevente;
    auto c = QObject::connect(&linea.interrogatore(), &InterrogatoreSeriale::risposta, &ricevente, [&] { ++eventi; });
    const double cpu0 = cpuSecondi();
    QElapsedTimer t;
    t.start();
    QTest::qWait(secondi * 1000);
    Misura m{cpuSecondi() - cpu0, t.elapsed() / 1000.0, eventi};
    QObject::disconnect(c);
    return m;
}

int fasiConSimulatore(int secondi)
{
    QTemporaryDir cartella;
    QProcess simulatore;
    simulatore.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/saettino-simulatore"), {});
    if (!simulatore.waitForStarted() || !simulatore.waitForReadyRead(5000)) {
        std::fprintf(stderr, "saettino-simulatore non avviato (build the project first)\n");
        return 1;
    }
    const QString percorso = QString::fromLocal8Bit(simulatore.readLine()).trimmed().section(u' ', 1);

    Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), percorso);
    Database db;
    const QString file = cartella.filePath(QStringLiteral("saettinopro.mb"));
    schema::apriDatabase(db, file);
    OrologioSistema orologio;
    MessaggiFinti messaggi;
    ArchivioAsincrono archivio(db, file, messaggi);
    RilevaGo w(orologio, messaggi, archivio);
    auto *griglie = new GriglieRisultati(archivio, messaggi, w.griglia1(), w.griglia2(), &w);
    w.impostaTabelle(griglie);
    QObject::connect(&archivio, &ArchivioAsincrono::risultati, griglie, &GriglieRisultati::ricevi);
    VistaLineeRilevaGo vista(w);
    LineaSeriale linea(store, orologio, messaggi, w.sessione(), vista);
    PortaSeriale &porta = linea.porta();
    linea.ingresso().Form_Load();
    for (int i = 0; i < 4; ++i) w.sessione().impostaPilota(i, QStringLiteral("Pilota %1").arg(i + 1));
    w.inizializza();
    w.show();
    if (!porta.portOpen()) {
        std::fprintf(stderr, "porta non aperta: %s\n", qPrintable(messaggi.ultimo()));
        return 1;
    }
    w.sessione().start();
    QTest::qWait(500);

    std::printf("Fase 1: linee a riposo, %d s\n", secondi);
    std::fflush(stdout);
    const Misura riposo = misura(linea, secondi);
    std::printf("  CPU %.2f s su %.1f s = %.2f %%, risposte %d (%.1f al secondo)\n", riposo.cpu, riposo.parete,
                riposo.percentuale(), riposo.eventi, riposo.eventi / riposo.parete);

    std::printf("Fase 2: linea 1 tenuta attiva, %d s\n", secondi);
    std::fflush(stdout);
    const int giriPrima = w.sessione().corsia(0).numGiri;
    simulatore.write("+1\n");
    const Misura attiva = misura(linea, secondi);
    simulatore.write("-\n");
    const Sessione::Corsia &c = w.sessione().corsia(0);
    const int giri = c.numGiri - giriPrima;
    // The first lap of the phase began before the line was held.
    double somma = 0;
    for (int g = giriPrima + 2; g <= c.numGiri; ++g) somma += c.tempiGiro.value(g);
    std::printf("  CPU %.2f s su %.1f s = %.2f %%, risposte %d, giri memorizzati %d, giro medio %.3f s\n", attiva.cpu,
                attiva.parete, attiva.percentuale(), attiva.eventi, giri, giri > 1 ? somma / (giri - 1) : 0.0);

    simulatore.write("q\n");
    simulatore.waitForFinished(3000);
    const QByteArray uscita = simulatore.readAll();
    const qsizetype p = uscita.indexOf("Interrogazioni ricevute:");
    if (p >= 0) std::printf("  simulatore: %s\n", uscita.mid(p).trimmed().constData());
    return 0;
}

int latenza()
{
    QTemporaryDir cartella;
    CoppiaPty pty;
    Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
    store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), pty.percorso());
    OrologioManuale orologio;
    MessaggiFinti messaggi;
    ArchivioFinto archivio;
    RilevaGo w(orologio, messaggi, archivio);
    VistaLineeRilevaGo vista(w);
    LineaSeriale linea(store, orologio, messaggi, w.sessione(), vista);
    linea.ingresso().Form_Load();
    // No polls in the way of the measure.
    QMetaObject::invokeMethod(&linea.interrogatore(), [&] { linea.interrogatore().Gestisci(false); },
                              Qt::BlockingQueuedConnection);
    w.sessione().impostaPilota(0, QStringLiteral("Rossi"));
    w.inizializza();
    w.sessione().start();

    constexpr int campioni = 500;
    QElapsedTimer t;
    qint64 scritto = 0, preso = -1;
    int prima = 0;
    QObject::connect(&w.sessione(), &Sessione::cambiato, [&] {
        if (preso < 0 && w.sessione().corsia(0).numGiri > prima) preso = t.nsecsElapsed();
    });
    std::vector<double> ritardi;
    t.start();
    for (int i = 0; i < campioni; ++i) {
        orologio.avanza(1.5);
        prima = w.sessione().corsia(0).numGiri;
        preso = -1;
        scritto = t.nsecsElapsed();
        pty.scrivi(QByteArray("\xFE"));
        QElapsedTimer limite;
        limite.start();
        while (w.sessione().corsia(0).numGiri == prima && limite.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (preso < 0) preso = t.nsecsElapsed();
        ritardi.push_back((preso - scritto) / 1e6);
        archivio.giri.clear();
    }
    std::sort(ritardi.begin(), ritardi.end());
    std::printf("Fase 3: dal byte scritto al giro preso, %d campioni\n", campioni);
    std::printf("  mediana %.3f ms, 95%% %.3f ms, massimo %.3f ms\n", ritardi[ritardi.size() / 2],
                ritardi[ritardi.size() * 95 / 100], ritardi.back());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int secondi = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 60;
    if (const int esito = fasiConSimulatore(secondi)) return esito;
    return latenza();
}

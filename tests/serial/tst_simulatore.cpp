// The device simulator as the saettino-simulatore program an operator starts,
// answering polls through the real port.
#include "aiuti.h"
#include "comune/impostazioni.h"
#include "dispositivo/protocollo/protocollo.h"
#include "serial/portareale.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// Is the terminal in exclusive mode? (Opened for the question: root passes the mode.)
bool esclusiva(const QByteArray &percorso)
{
    const int fd = ::open(percorso.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int attiva = 0;
    const bool si = fd >= 0 && ::ioctl(fd, TIOCGEXCL, &attiva) == 0 && attiva;
    if (fd >= 0) ::close(fd);
    return si;
}
} // namespace

class TstSimulatore : public QObject {
    Q_OBJECT
private slots:
    void programmaDaRigaDiComando()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), QStringLiteral("/dev/ttyUSB0"));
        // Line 6 held, a short pass on line 2 that ends by itself, then line 4 held as well.
        QVERIFY(scriviFile(cartella.filePath("giri.txt"), "# prova\n0 +6, 2\n1000\t+4 # dopo il passaggio\n"));
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + "/../bin/saettino-simulatore",
                       {"--com", "1", "--impostazioni", store.percorso(), "--programma", cartella.filePath("giri.txt"), "--durata", "20000"});
        QByteArray uscita;
        QTRY_VERIFY((uscita += processo.readAll()).contains("Linee attive: 6\nLinee attive: 2 6\nLinee attive: 6\nLinee attive: 4 6\n"));
        // Com1 now points at the simulator: each blank is answered with the line state, anything else is no poll.
        PortaReale porta(store);
        QVERIFY2(porta.setPortOpen(true) && porta.output(QStringLiteral("   x\r\n")), qPrintable(porta.descrizioneErrore()));
        QByteArray risposte;
        QTRY_COMPARE(risposte += porta.input().toLatin1(), QByteArray("\xD7\xD7\xD7"));
        // When it ends, Com1 goes back to what it was.
        processo.terminate();
        QTRY_COMPARE(store.testo(QStringLiteral("Porte"), QStringLiteral("Com1")), QStringLiteral("/dev/ttyUSB0"));
    }

    // With --esteso the firmware's logic answers: the classic poll latched, then the
    // identification of the extended protocol, and it says when the program uses it.
    void protocolloEsteso()
    {
        QTemporaryDir cartella;
        Impostazioni store(cartella.filePath(QStringLiteral("utente.ini")));
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + "/../bin/saettino-simulatore",
                       {"--esteso", "--deriva", "-3000", "--com", "1", "--impostazioni", store.percorso(), "--durata", "20000"});
        QByteArray uscita;
        QTRY_VERIFY((uscita += processo.readAll()).contains("Com1 ->"));
        PortaReale porta(store);
        QVERIFY2(porta.setPortOpen(true) && porta.output(QStringLiteral(" ")), qPrintable(porta.descrizioneErrore()));
        QByteArray risposte;
        QTRY_COMPARE(risposte += porta.input().toLatin1(), QByteArray("\xFF"));
        uint8_t ciao[SPD_TRAMA_MAX];
        porta.output(QString::fromLatin1(reinterpret_cast<const char *>(ciao), spd_chiedi_ciao(ciao)));
        risposte.clear();
        QTRY_COMPARE((risposte += porta.input().toLatin1()).size(), qsizetype(SPD_TRAMA(SPD_IDENTITA_PAYLOAD)));
        spd_identita id;
        QVERIFY(spd_leggi_identita(reinterpret_cast<const uint8_t *>(risposte.constData()) + 3, SPD_IDENTITA_PAYLOAD, &id));
        QCOMPARE(QByteArray(id.nome).trimmed(), QByteArray("SaettinoPro cronometro"));
        QTRY_VERIFY((uscita += processo.readAll()).contains("Il programma usa il protocollo esteso."));
        processo.terminate();
        processo.waitForFinished();
    }

    // A program killed with the port open leaves the terminal exclusive; once its polls stop the
    // simulator clears that, and not before.
    void esclusivaLiberataQuandoIlProgrammaSparisce()
    {
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + "/../bin/saettino-simulatore", {"--durata", "30000"});
        QVERIFY(processo.waitForReadyRead(5000));
        const QByteArray percorso = processo.readLine().trimmed().split(' ').value(1);
        const pid_t programma = ::fork();
        if (programma == 0) { // opens the port as the serial library does, and polls
            const int fd = ::open(percorso.constData(), O_RDWR | O_NOCTTY);
            ::ioctl(fd, TIOCEXCL);
            for (;;) {
                [[maybe_unused]] const auto n = ::write(fd, " ", 1);
                ::usleep(100000);
            }
        }
        QTRY_VERIFY(esclusiva(percorso));
        QTest::qWait(2500);
        QVERIFY(esclusiva(percorso)); // polled all along
        ::kill(programma, SIGKILL);
        QVERIFY(::waitpid(programma, nullptr, 0) == programma);
        QTRY_VERIFY_WITH_TIMEOUT(!esclusiva(percorso), 5000);
        QByteArray uscita;
        QTRY_VERIFY((uscita += processo.readAll()).contains("la porta è di nuovo libera"));
        processo.terminate();
        processo.waitForFinished();
    }

    // Help and command-line mistakes are told in Italian, with no trace of Qt's English texts.
    void rigaDiComandoInItaliano_data()
    {
        QTest::addColumn<QStringList>("argomenti");
        QTest::addColumn<int>("uscita");
        QTest::addColumn<QStringList>("testi");
        QTest::newRow("aiuto") << QStringList{"--help"} << 0
                               << QStringList{"Uso: saettino-simulatore [opzioni]", "Opzioni:", "-h, --help, -?",
                                              "--com <N>", "Mostra questo aiuto ed esce.", "rilascia tutte le linee",
                                              "--esteso", "--deriva <ppm>", "si riavvia"};
        QTest::newRow("opzione sconosciuta") << QStringList{"--porto", "3"} << 2
                                             << QStringList{"opzione sconosciuta: porto", "saettino-simulatore --help"};
        QTest::newRow("valore mancante") << QStringList{"--com"} << 2 << QStringList{"manca il valore dell'opzione --com"};
        QTest::newRow("argomento in più") << QStringList{"1"} << 2 << QStringList{"argomento non previsto: 1"};
    }
    void rigaDiComandoInItaliano()
    {
        QFETCH(QStringList, argomenti);
        QFETCH(int, uscita);
        QFETCH(QStringList, testi);
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + "/../bin/saettino-simulatore", argomenti);
        QVERIFY(processo.waitForFinished(10000));
        QCOMPARE(processo.exitCode(), uscita);
        const QString detto = QString::fromUtf8(processo.readAllStandardOutput() + processo.readAllStandardError());
        for (const QString &t : testi) QVERIFY2(detto.contains(t), qPrintable(detto));
        for (const char *inglese : {"Usage", "Options", "Displays", "Unknown", "Missing"})
            QVERIFY2(!detto.contains(QLatin1String(inglese)), qPrintable(detto));
    }
};

QTEST_MAIN(TstSimulatore)
#include "tst_simulatore.moc"

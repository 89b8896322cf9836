// The device simulator as the saettino-simulatore program an operator starts,
// answering polls through the real port.
#include "aiuti.h"
#include "serial/impostazioniporta.h"
#include "serial/unix/portaqt.h"

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
        ImpostazioniPorta store(cartella.filePath(QStringLiteral("utente.ini")));
        store.scrivi(QStringLiteral("Porte"), QStringLiteral("Com1"), QStringLiteral("/dev/ttyUSB0"));
        // Line 6 held, a short pass on line 2 that ends by itself, then line 4 held as well.
        QVERIFY(scriviFile(cartella.filePath("giri.txt"), "# prova\n0 +6, 2\n1000\t+4 # dopo il passaggio\n"));
        QProcess processo;
        processo.start(QCoreApplication::applicationDirPath() + "/../bin/saettino-simulatore",
                       {"--com", "1", "--impostazioni", store.percorso(), "--programma", cartella.filePath("giri.txt"), "--durata", "20000"});
        QByteArray uscita;
        QTRY_VERIFY((uscita += processo.readAll()).contains("Linee attive: 6\nLinee attive: 2 6\nLinee attive: 6\nLinee attive: 4 6\n"));
        // Com1 now points at the simulator: each blank is answered with the line state, anything else is no poll.
        PortaQt porta(store);
        QVERIFY2(porta.setPortOpen(true) && porta.output(QStringLiteral("   x\r\n")), qPrintable(porta.descrizioneErrore()));
        QByteArray risposte;
        QTRY_COMPARE(risposte += porta.input().toLatin1(), QByteArray("\xD7\xD7\xD7"));
        // When it ends, Com1 goes back to what it was.
        processo.terminate();
        QTRY_COMPARE(store.leggi(QStringLiteral("Porte"), QStringLiteral("Com1")), QStringLiteral("/dev/ttyUSB0"));
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
};

QTEST_MAIN(TstSimulatore)
#include "tst_simulatore.moc"

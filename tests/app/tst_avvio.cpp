#include "aiuti.h"
#include "app/avvio.h"
#include "messaggifinti.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestAvvio : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    MessaggiFinti messaggi_;

    // The database file in `cartella`; the start-up copies and locks it without reading it.
    static QString archivioIn(const QString &cartella)
    {
        QDir().mkpath(cartella);
        return scriviFile(cartella + u"/saettinopro.mb"_s, "giri") ? cartella + u"/saettinopro.mb"_s : QString();
    }

private slots:
    void init() { messaggi_.mostrati.clear(); }

    // The installed program answers --version and --help, and says why it cannot start, with no display at all.
    void rigaDiComandoSenzaSchermo()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(v));
        for (const auto &[argomenti, uscita, testi] : QList<std::tuple<QStringList, int, QStringList>>{
                 {{u"--version"_s}, 0, {u"Saettino Professional 0.80.0\n"_s}},
                 {{}, 1, {u"nessuno schermo disponibile"_s, u"no display available"_s}}}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(PROGRAMMA), argomenti);
            QVERIFY(p.waitForFinished(20000));
            const QString detto = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            QCOMPARE(p.exitStatus(), QProcess::NormalExit); // not Qt's abort
            QCOMPARE(p.exitCode(), uscita);
            for (const QString &t : testi) QVERIFY2(detto.contains(t), qPrintable(detto));
        }
    }

    // Qt's own buttons and dialogs speak Italian once the system's translations (one catalogue) are loaded.
    void testiDiQtInItaliano()
    {
        QVERIFY2(caricaTraduzioniQt(*qApp), "qt6-translations-l10n holds qtbase_it.qm");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), u"&Sì"_s); // what a message box's Yes shows
    }

    // A database beside a program that cannot write there is copied once to the
    // per-user folder, and the operator learns where the laps now live.
    void archivioNellaCartellaInSolaLettura()
    {
        const QString programma = dir_.filePath(u"programma"_s), utente = dir_.filePath(u"utente"_s);
        const QString originale = archivioIn(programma), copia = utente + u"/saettinopro.mb"_s;
        // One start where the program folder refuses writes (root writes everywhere, so it is told so):
        // the database it runs on, "" when it does not start.
        const auto avvia = [&](const QString &cartellaUtente) {
            Avvio avvio(messaggi_, [&](const QString &p) { return !p.startsWith(programma); });
            return avvio.prepara(programma, cartellaUtente) ? avvio.percorso() : QString();
        };
        QCOMPARE(avvia(utente), copia);
        QCOMPARE(contenuto(copia), QByteArray("giri"));
        QVERIFY(messaggi_.ultimo().contains(originale) && messaggi_.ultimo().contains(copia));
        QCOMPARE(messaggi_.mostrati.value(0).icona, Messaggi::Icona::Informazione);
        // Only once: the next start keeps the copy and what it gained since, without a word (one message in all).
        QVERIFY(scriviFile(copia, "giri nuovi"));
        QCOMPARE(avvia(utente), copia);
        QVERIFY(contenuto(copia) == "giri nuovi" && messaggi_.mostrati.size() == 1);
        // A copy that cannot be made leaves the old file in use rather than a new empty one.
        const QString nonCartella = archivioIn(dir_.filePath(u"altro"_s)); // a file where the folder should be
        QCOMPARE(avvia(nonCartella), originale);
        QVERIFY(messaggi_.ultimo().contains(originale) && messaggi_.mostrati.last().icona == Messaggi::Icona::Esclamazione);
        QCOMPARE(contenuto(originale), QByteArray("giri"));
    }

    // The database never lives in a system folder or another user's, even where the program could
    // write (root): the same rule on Linux paths and on Windows ones.
    void regolaCartelleDiSistema_data()
    {
        QTest::addColumn<QString>("cartella");
        QTest::addColumn<bool>("dellUtente");
        QTest::addColumn<bool>("accanto");
        QTest::newRow("~/.local/bin") << "/home/anna/.local/bin" << true << true;
        QTest::newRow("a build folder") << "/home/anna/saettino/build/../build/bin" << true << true;
        QTest::newRow("the package, /usr/bin") << "/usr/bin" << true << false;
        QTest::newRow("/usr itself") << "/usr/" << true << false;
        QTest::newRow("/opt") << "/opt/saettinopro/bin" << true << false;
        QTest::newRow("a name that only begins like /usr") << "/usrdati/bin" << true << true;
        QTest::newRow("another user's folder") << "/srv/gara" << false << false;
        QTest::newRow("Program Files") << "C:\\Program Files\\SaettinoPro" << true << false;
        QTest::newRow("Program Files (x86), other case") << "c:/program files (x86)/SaettinoPro" << true << false;
        QTest::newRow("a folder of the Windows user") << "C:\\Users\\anna\\SaettinoPro" << true << true;
        QTest::newRow("beside Program Files") << "C:/Program Files Extra/SaettinoPro" << true << true;
    }
    void regolaCartelleDiSistema()
    {
        QFETCH(QString, cartella);
        QFETCH(bool, dellUtente);
        QFETCH(bool, accanto);
        const QStringList sistema{u"/usr"_s, u"/bin"_s, u"/sbin"_s, u"/opt"_s, u"C:\\Program Files"_s,
                                  u"C:\\Program Files (x86)"_s, u"C:\\Windows"_s};
        QCOMPARE(accantoAlProgramma(cartella, sistema, dellUtente), accanto);
    }

    // A program in a system folder that it can write to (run by root): the database goes to the
    // per-user folder, and one stranded beside the program is copied there once.
    void archivioMaiInCartellaDiSistema()
    {
        const QString sistema = dir_.filePath(u"sistema"_s), programma = sistema + u"/bin"_s;
        const QString utente = dir_.filePath(u"utente-sistema"_s), copia = utente + u"/saettinopro.mb"_s;
        const QString originale = archivioIn(programma);
        QVERIFY(fileScrivibile(originale));
        Avvio avvio(messaggi_, fileScrivibile, RegolaCartelle{{sistema}, luoghi::cartellaDellUtente});
        QVERIFY(avvio.prepara(programma, utente));
        QCOMPARE(avvio.percorso(), copia);
        QVERIFY(contenuto(copia) == "giri" && messaggi_.ultimo().contains(copia));
        // The same folder outside the system ones keeps its database, and so does nobody else's.
        QCOMPARE(posizioneArchivio(programma, utente, fileScrivibile, RegolaCartelle{{}, luoghi::cartellaDellUtente}).percorso,
                 originale);
        QVERIFY(luoghi::cartellaDellUtente(programma));
        QCOMPARE(posizioneArchivio(programma, utente, fileScrivibile, RegolaCartelle{{}, [](const QString &) { return false; }})
                     .percorso,
                 copia);
    }

    // A second program on the same database stops before touching it; a lock left by a killed one is taken over.
    void unProgrammaPerArchivio()
    {
        const QString cartella = dir_.filePath(u"blocco"_s), archivio = archivioIn(cartella);
        const QDateTime modificato = QFileInfo(archivio).lastModified();
        QProcess altro;
        altro.setEnvironment(QProcess::systemEnvironment() << u"TIENI_BLOCCO="_s + archivio);
        altro.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(altro.waitForReadyRead(10000) && altro.readAll().startsWith("preso"));
        QVERIFY(!Avvio(messaggi_).prepara(cartella, dir_.filePath(u"u2"_s)));
        QCOMPARE(messaggi_.ultimo(), u"Saettino Professional è già in esecuzione su questo archivio"_s);
        QVERIFY(contenuto(archivio) == "giri" && QFileInfo(archivio).lastModified() == modificato);
        ::kill(pid_t(altro.processId()), SIGKILL);
        QVERIFY(altro.waitForFinished(10000) && QFileInfo::exists(archivio + u".lock"_s));
        Avvio dopo(messaggi_);
        QVERIFY(dopo.prepara(cartella, dir_.filePath(u"u2"_s)));
        // A writable program folder keeps its file where it is, and nothing more is said.
        QVERIFY(dopo.percorso() == archivio && messaggi_.mostrati.size() == 1);
    }

    // Whatever a lock file left behind holds, a lock no program holds is free; the lock file goes with its program.
    void bloccoLasciatoLibero_data()
    {
        QTest::addColumn<QByteArray>("lasciato");
        QTest::newRow("vuoto") << QByteArray();
        QTest::newRow("spazzatura") << QByteArray("\x00\xff\x13garbage\n\n\n\x7f", 14);
        QTest::newRow("altro computer") << QByteArray("4242\nSaettino Professional\naltro-computer\n");
        // A process of a new PID namespace gets the PID of the one that crashed.
        QTest::newRow("stesso PID") << QByteArray::number(QCoreApplication::applicationPid()) + "\nSaettino Professional\n"
                                           + QSysInfo::machineHostName().toUtf8() + "\n";
    }
    void bloccoLasciatoLibero()
    {
        QFETCH(QByteArray, lasciato);
        const QString archivio = archivioIn(dir_.filePath(QString::fromLatin1(QTest::currentDataTag())));
        QVERIFY(scriviFile(archivio + u".lock"_s, lasciato));
        {
            Avvio avvio(messaggi_);
            QVERIFY(avvio.prepara(QFileInfo(archivio).path(), dir_.filePath(u"u3"_s)));
            QVERIFY(messaggi_.mostrati.isEmpty() && contenuto(archivio + u".lock"_s).startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
            QVERIFY(!Avvio(messaggi_).prepara(QFileInfo(archivio).path(), dir_.filePath(u"u3"_s))); // held, even by this very process
            QCOMPARE(messaggi_.ultimo(), BloccoArchivio::testoOccupato());
        }
        QVERIFY(!QFileInfo::exists(archivio + u".lock"_s));
    }

    // A lock held in another PID namespace keeps this program out, and is free once its holder is killed,
    // though the next holder there gets the very same PID.
    void bloccoInUnAltroSpazioDeiPid()
    {
        const QString archivio = archivioIn(dir_.filePath(u"spazio"_s));
        const auto tieni = [&](QProcess &p) {
            p.setEnvironment(QProcess::systemEnvironment() << u"TIENI_BLOCCO="_s + archivio << u"MOSTRA_PID=1"_s);
            p.start(u"unshare"_s, {u"-p"_s, u"-f"_s, u"--kill-child"_s, u"--mount-proc"_s, QCoreApplication::applicationFilePath()});
            return p.waitForReadyRead(10000) ? QString::fromLatin1(p.readAll()).trimmed() : QString();
        };
        QProcess primo;
        const QString detto = tieni(primo);
        if (!detto.startsWith(u"preso"_s)) QSKIP("no new PID namespace here (needs root and unshare)");
        QVERIFY(!Avvio(messaggi_).prepara(QFileInfo(archivio).path(), dir_.filePath(u"u4"_s)));
        ::kill(pid_t(primo.processId()), SIGKILL);
        QVERIFY(primo.waitForFinished(10000));
        QTRY_VERIFY(Avvio(messaggi_).prepara(QFileInfo(archivio).path(), dir_.filePath(u"u4"_s))); // its holder gone too
        QVERIFY(scriviFile(archivio + u".lock"_s, "1\nSaettino Professional\n")); // as the holder left it
        QProcess secondo;
        QCOMPARE(tieni(secondo), detto); // "preso", PID 1 again
        ::kill(pid_t(secondo.processId()), SIGKILL);
        QVERIFY(secondo.waitForFinished(10000));
        QTRY_VERIFY(Avvio(messaggi_).prepara(QFileInfo(archivio).path(), dir_.filePath(u"u4"_s)));
    }

    // Where no lock can be made the program says why, and does not go on to open the database.
    void bloccoImpossibile()
    {
        const QString archivio = archivioIn(dir_.filePath(u"senzablocco"_s));
        QVERIFY(QDir().mkpath(archivio + u".lock"_s)); // a folder in the way: no file can be made there
        Avvio avvio(messaggi_);
        QVERIFY(!avvio.prepara(QFileInfo(archivio).path(), dir_.filePath(u"u5"_s)));
        QVERIFY(avvio.percorso().isEmpty());
        QCOMPARE(messaggi_.mostrati.value(0).icona, Messaggi::Icona::Critico);
        QVERIFY2(messaggi_.ultimo().startsWith(u"Impossibile creare il file di blocco dell'archivio dei tempi\n"_s + archivio + u".lock\n("_s)
                     && messaggi_.ultimo().contains(u"l'archivio non viene aperto"_s), qPrintable(messaggi_.ultimo()));
        QCOMPARE(contenuto(archivio), QByteArray("giri"));
    }
};

int main(int argc, char *argv[])
{
    // The other program of the lock test: takes the lock and waits to be killed.
    if (const QByteArray archivio = qgetenv("TIENI_BLOCCO"); !archivio.isEmpty()) {
        QCoreApplication app(argc, argv);
        BloccoArchivio blocco(QString::fromLocal8Bit(archivio));
        const bool preso = blocco.prendi() == BloccoArchivio::Esito::Preso;
        std::printf("%s%s\n", preso ? "preso" : "occupato",
                    qEnvironmentVariableIsSet("MOSTRA_PID") ? qPrintable(u" "_s + QString::number(::getpid())) : "");
        std::fflush(stdout);
        for (;;) ::pause();
    }
    QApplication app(argc, argv);
    TestAvvio prova;
    return QTest::qExec(&prova, argc, argv);
}
#include "tst_avvio.moc"

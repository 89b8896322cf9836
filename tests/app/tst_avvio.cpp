#include "aiuti.h"
#include "app/avvio.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
// A timing database with one lap in `cartella`.
QString archivioConUnGiro(const QString &cartella)
{
    const QString percorso = cartella + u"/saettinopro.mb"_s;
    QDir().mkpath(cartella);
    Database db;
    schema::apriDatabase(db, percorso);
    db.esegui(u"INSERT INTO Giri (pilota, giroN, tempoGiro) VALUES ('Alfa', 1, 61.5)"_s);
    return percorso;
}
} // namespace

class TestAvvio : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    MessaggiFinti messaggi_;

private slots:
    void init() { messaggi_.mostrati.clear(); }

    // The installed program answers --version and --help, and says why it cannot start, with no display at all.
    void rigaDiComandoSenzaSchermo()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(v));
        env.insert(u"XDG_DATA_HOME"_s, dir_.filePath(u"dati"_s));
        for (const auto &[argomenti, uscita, testi] : QList<std::tuple<QStringList, int, QStringList>>{
                 {{u"--version"_s}, 0, {u"Saettino Professional 0.80.0\n"_s}},
                 {{u"--help"_s}, 0, {u"Uso: saettinopro"_s, u"--version"_s, u"saettinopro.mb"_s}},
                 {{}, 1, {u"nessuno schermo disponibile"_s, u"no display available"_s}}}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(PROGRAMMA), argomenti);
            QVERIFY(p.waitForFinished(20000));
            const QString detto = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            QCOMPARE(p.exitStatus(), QProcess::NormalExit);
            QCOMPARE(p.exitCode(), uscita);
            for (const QString &t : testi) QVERIFY2(detto.contains(t), qPrintable(detto));
            QVERIFY2(!detto.contains(u"Reinstalling"_s), qPrintable(detto));
        }
    }

    // Qt's own buttons and dialogs speak Italian once the system's translations (one catalogue) are loaded.
    void testiDiQtInItaliano()
    {
        QVERIFY2(caricaTraduzioniQt(*qApp), "qt6-translations-l10n holds qtbase_it.qm");
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), u"&Sì"_s);
    }

    // A database beside a program that cannot write there is copied once to the
    // per-user folder, and the operator learns where the laps now live.
    void archivioNellaCartellaInSolaLettura()
    {
        const QString programma = dir_.filePath(u"programma"_s), utente = dir_.filePath(u"utente"_s);
        const QString originale = archivioConUnGiro(programma), copia = utente + u"/saettinopro.mb"_s;
        const QByteArray byte = contenuto(originale);
        // Root writes everywhere, so the folder's refusal is told to the start-up.
        auto soloUtente = [&](const QString &p) { return !p.startsWith(programma); };
        {
            Avvio avvio(messaggi_, soloUtente);
            QVERIFY(avvio.prepara(programma, utente));
            QCOMPARE(avvio.percorso(), copia);
            QCOMPARE(contenuto(copia), byte);
            QCOMPARE(messaggi_.mostrati.size(), 1);
            QVERIFY(messaggi_.ultimo().contains(originale) && messaggi_.ultimo().contains(copia));
            QCOMPARE(messaggi_.mostrati[0].icona, Messaggi::Icona::Informazione);
            Database db;
            schema::apriDatabase(db, copia);
            db.esegui(u"INSERT INTO Giri (pilota, giroN, tempoGiro) VALUES ('Alfa', 2, 60.5)"_s);
        }
        // Only once: the next start keeps the copy and its new lap, without a word.
        const QByteArray aggiornata = contenuto(copia);
        {
            Avvio avvio(messaggi_, soloUtente);
            QVERIFY(avvio.prepara(programma, utente) && avvio.percorso() == copia);
            QVERIFY(contenuto(copia) == aggiornata && aggiornata != byte && messaggi_.mostrati.size() == 1);
        }
        // A copy that cannot be made leaves the old file in use rather than a new empty one.
        const QString nonCartella = dir_.filePath(u"un-file"_s);
        QVERIFY(QFile(nonCartella).open(QIODevice::WriteOnly));
        Avvio fallita(messaggi_, soloUtente);
        QVERIFY(fallita.prepara(programma, nonCartella));
        QCOMPARE(fallita.percorso(), originale);
        QVERIFY(messaggi_.ultimo().contains(originale) && messaggi_.mostrati.last().icona == Messaggi::Icona::Esclamazione);
        QCOMPARE(contenuto(originale), byte);
    }

    // A second program on the same database stops before touching it; a lock left by a killed one is taken over.
    void unProgrammaPerArchivio()
    {
        const QString cartella = dir_.filePath(u"blocco"_s);
        const QString archivio = archivioConUnGiro(cartella);
        const QByteArray byte = contenuto(archivio);
        const QDateTime modificato = QFileInfo(archivio).lastModified();
        QProcess altro;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"TIENI_BLOCCO"_s, archivio);
        altro.setProcessEnvironment(env);
        altro.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(altro.waitForReadyRead(10000) && altro.readAll().startsWith("preso"));
        Avvio secondo(messaggi_);
        QVERIFY(!secondo.prepara(cartella, dir_.filePath(u"u2"_s)));
        QCOMPARE(messaggi_.ultimo(), u"Saettino Professional è già in esecuzione su questo archivio"_s);
        QVERIFY(contenuto(archivio) == byte && QFileInfo(archivio).lastModified() == modificato);
        ::kill(pid_t(altro.processId()), SIGKILL);
        QVERIFY(altro.waitForFinished(10000) && QFileInfo::exists(archivio + u".lock"_s));
        messaggi_.mostrati.clear();
        Avvio dopo(messaggi_);
        QVERIFY(dopo.prepara(cartella, dir_.filePath(u"u2"_s)));
        // A writable program folder keeps its file where it is, and nothing is copied.
        QVERIFY(dopo.percorso() == archivio && messaggi_.mostrati.isEmpty());
        QVERIFY(!QFileInfo::exists(dir_.filePath(u"u2/saettinopro.mb"_s)));
    }
};

int main(int argc, char *argv[])
{
    // The other program of the lock test: takes the lock and waits to be killed.
    if (const QByteArray archivio = qgetenv("TIENI_BLOCCO"); !archivio.isEmpty()) {
        QCoreApplication app(argc, argv);
        BloccoArchivio blocco(QString::fromLocal8Bit(archivio));
        std::puts(blocco.prendi() ? "preso" : "occupato");
        std::fflush(stdout);
        for (;;) ::pause();
    }
    QApplication app(argc, argv);
    TestAvvio prova;
    return QTest::qExec(&prova, argc, argv);
}
#include "tst_avvio.moc"

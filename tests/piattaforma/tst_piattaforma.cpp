// What differs between the systems, asked the same way on each: the lock of a
// file, which file a name leads to, text for the terminal (a copy put on the
// disk is the backups' own test).
#include "aiuti.h"
#include "piattaforma/bloccofile.h"
#include "piattaforma/file.h"
#include "piattaforma/sistema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TstPiattaforma : public QObject {
    Q_OBJECT
private slots:
    // One holder at a time; let go, the lock is free and its file gone. A leftover
    // file with anything in it takes the lock; a folder in its place cannot.
    void bloccoDiUnFile()
    {
        QTemporaryDir cartella;
        const QString percorso = cartella.filePath(u"archivio.mb.lock"_s);
        QVERIFY(scriviFile(percorso, "12345\naltro-computer\n\xff\xfe"));
        BloccoFile primo(percorso), secondo(percorso);
        QCOMPARE(primo.prendi(), BloccoFile::Esito::Preso);
        QCOMPARE(primo.prendi(), BloccoFile::Esito::Preso);
        QCOMPARE(secondo.prendi(), BloccoFile::Esito::Occupato);
        // Who holds it, for a person who opens the file.
        QVERIFY(contenuto(percorso).startsWith(QByteArray::number(QCoreApplication::applicationPid()) + '\n'));
        primo.rilascia();
        QVERIFY(!QFile::exists(percorso));
        QCOMPARE(secondo.prendi(), BloccoFile::Esito::Preso);
        secondo.rilascia();

        const QString cartellaAlPosto = cartella.filePath(u"cartella.lock"_s);
        QVERIFY(QDir().mkdir(cartellaAlPosto));
        BloccoFile impossibile(cartellaAlPosto);
        QCOMPARE(impossibile.prendi(), BloccoFile::Esito::Impossibile);
        QVERIFY(!impossibile.errore().isEmpty());
        BloccoFile senzaCartella(cartella.filePath(u"manca/archivio.mb.lock"_s));
        QCOMPARE(senzaCartella.prendi(), BloccoFile::Esito::Impossibile);
    }

    // A name keeps its identity while the file is written in place; another file
    // under the name, or none, is told apart; a second name of the file is the same file.
    void identitaDiUnFile()
    {
        QTemporaryDir cartella;
        const QString nome = cartella.filePath(u"tempi.mb"_s), altro = cartella.filePath(u"altro.mb"_s);
        QVERIFY(!IdentitaFile::di(nome).esiste);
        QVERIFY(scriviFile(nome, "uno") && scriviFile(altro, "due"));
        const IdentitaFile prima = IdentitaFile::di(nome);
        QVERIFY(prima.esiste);
        {
            QFile f(nome);
            QVERIFY(f.open(QIODevice::Append) && f.write("+") == 1);
        }
        QCOMPARE(IdentitaFile::di(nome), prima);
        QVERIFY(!(IdentitaFile::di(altro) == prima));
        const QString fisso = cartella.filePath(u"fisso.mb"_s);
        QVERIFY(file::collegamentoFisso(nome, fisso));
        QCOMPARE(IdentitaFile::di(fisso), prima);
        QVERIFY(QFile::remove(nome) && QFile::rename(altro, nome));
        QVERIFY(!(IdentitaFile::di(nome) == prima));
        QVERIFY(!IdentitaFile::di(cartella.path()).esiste); // a folder is no database
    }

    // The terminal gets the text as it is, accents included, when the output is a pipe.
    void testoSulTerminale()
    {
        if (qEnvironmentVariableIsSet("SAETTINO_PROVA_FIGLIO")) return;
        QTemporaryDir cartella;
        QProcess figlio;
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert(u"SAETTINO_PROVA_FIGLIO"_s, u"1"_s);
        figlio.setProcessEnvironment(ambiente);
        // The test log goes to a file: the output holds the text alone.
        figlio.start(QCoreApplication::applicationFilePath(),
                     {u"testoFiglio"_s, u"-o"_s, cartella.filePath(u"registro.txt"_s) + u",txt"_s});
        QVERIFY(figlio.waitForFinished(20000));
        QCOMPARE(figlio.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(figlio.readAllStandardOutput()).remove(u'\r'), u"più veloce\nfine\n"_s);
    }
    void testoFiglio()
    {
        if (!qEnvironmentVariableIsSet("SAETTINO_PROVA_FIGLIO")) QSKIP("the child of testoSulTerminale");
        sistema::scriviSulTerminale(u"più veloce\nfine\n"_s);
    }
};

QTEST_MAIN(TstPiattaforma)
#include "tst_piattaforma.moc"

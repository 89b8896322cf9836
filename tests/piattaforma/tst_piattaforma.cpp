// What differs between the systems, asked the same way on each: file locks, file identity, text for the terminal.
#include "aiuti.h"
#include "piattaforma/bloccofile.h"
#include "piattaforma/file.h"
#include "comune/identita.h"

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

    // The program's --version and --help reach output sent to a pipe, accents
    // included, with no display: the window program on Windows too.
    void testoSulTerminale()
    {
        const QString programma = QCoreApplication::applicationDirPath() + u"/../bin/saettinopro"_s;
        for (const auto &[opzione, atteso] : {std::pair{u"--version"_s, u"Saettino Professional %1.%2.%3\n"_s
                                                                            .arg(identita::versioneMaggiore)
                                                                            .arg(identita::versioneMinore)
                                                                            .arg(identita::revisione)},
                                              std::pair{u"--help"_s, u"è una cartella di sistema"_s}}) {
            QProcess p;
            p.start(programma, {opzione});
            QVERIFY2(p.waitForFinished(30000), qPrintable(p.errorString()));
            QCOMPARE(p.exitCode(), 0);
            const QString detto = QString::fromUtf8(p.readAllStandardOutput()).remove(u'\r');
            QVERIFY2(opzione == u"--help"_s ? detto.contains(atteso) && detto.startsWith(u"Uso: saettinopro"_s) : detto == atteso,
                     qPrintable(detto));
        }
    }
};

QTEST_MAIN(TstPiattaforma)
#include "tst_piattaforma.moc"

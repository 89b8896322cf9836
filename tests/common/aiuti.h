#pragma once
// Small helpers the suites share: the rows of a query, a file read or written whole, the
// totals checked against the laps, a file of an earlier version, CSV files and workbooks read back.
#include "comune/identita.h"
#include "database/database.h"
#include "database/schemagara.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QVariantList>
#include <QtTest>

// Every row of a query, each column as the engine holds it.
using Righe = QList<QVariantList>;
inline Righe righe(Database &db, const QString &sql)
{
    Righe tutte;
    for (Istruzione q = db.prepara(sql); q.passo();) {
        tutte.emplaceBack();
        for (int c = 0; c < q.colonne(); ++c) tutte.last().append(q.valore(c));
    }
    return tutte;
}

// A file's bytes, empty when it cannot be read.
inline QByteArray contenuto(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the whole file anew; false when any of it could not be written.
inline bool scriviFile(const QString &file, const QByteArray &byte)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(byte) == byte.size() && f.flush();
}

// The running totals, standings, lap numbering and (unless told) fastest lap agree with the laps the file holds.
inline void totaliCoerenti(Database &db, bool conVeloce = true)
{
    QCOMPARE(righe(db, "SELECT pilota, giri, totale FROM TotaliPiloti ORDER BY pilota"),
             righe(db, "SELECT pilota, count(*), total(tempoGiro) FROM Giri GROUP BY pilota ORDER BY pilota"));
    QCOMPARE(righe(db, "SELECT * FROM TempoTotale ORDER BY rowid"),
             righe(db, "SELECT pilota, count(*), testoTempo(total(tempoGiro)) FROM Giri GROUP BY pilota "
                       "ORDER BY count(*) DESC, total(tempoGiro), pilota"));
    QCOMPARE(righe(db, "SELECT pilota FROM Giri GROUP BY pilota HAVING count(DISTINCT giroN) != count(*) "
                       "OR max(giroN) != count(*)"), Righe{});
    const Righe veloce = righe(db, "SELECT (SELECT Tempo FROM Tempofast), (SELECT min(tempoGiro) FROM Giri)");
    if (conVeloce) QCOMPARE(veloce.value(0).value(0).toFloat(), veloce.value(0).value(1).toFloat());
}

// A file as an earlier version left it: no race tables, Giri without the columns of a lap's heat and instant.
inline void rendiVecchio(const QString &file)
{
    Database d;
    d.apri(file, QString::fromUtf8(identita::password));
    for (const QString &t : schema::tabelleGara()) d.esegui(QStringLiteral("DROP TABLE ") + t);
    d.esegui(QStringLiteral("ALTER TABLE Giri RENAME TO GiriNuovi; "
             "CREATE TABLE Giri (id INTEGER PRIMARY KEY, pilota TEXT, giroN INTEGER, tempoGiro REAL, Tempo TEXT, "
             "Data TEXT, ora TEXT, pista TEXT, intertempoN INTEGER, intertempo REAL); "
             "INSERT INTO Giri SELECT id, pilota, giroN, tempoGiro, Tempo, Data, ora, pista, intertempoN, intertempo "
             "FROM GiriNuovi; DROP TABLE GiriNuovi;"));
}

// The records of an exported CSV file: a byte-order mark, then fields quoted or bare, each closed
// by a semicolon or CRLF. Anything else (a bare CR or LF, a stray quote, a last record without
// CRLF) is reported where it stands.
inline QList<QStringList> leggiCsv(const QString &nome)
{
    static const QRegularExpression campo(QString::fromUtf8(R"re(\G(?:"((?:[^"]|"")*)"|([^;"\r\n]*))(;|\r\n))re"));
    const QByteArray dati = contenuto(nome);
    if (!dati.startsWith("\xEF\xBB\xBF")) return {{QStringLiteral("senza BOM")}};
    const QString testo = QString::fromUtf8(dati.mid(3));
    QList<QStringList> record{{}};
    qsizetype letti = 0;
    for (auto it = campo.globalMatch(testo); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        record.last() << (m.capturedStart(1) >= 0 ? m.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\"")) : m.captured(2));
        if (m.captured(3) == QStringLiteral("\r\n")) record.append(QStringList());
        letti = m.capturedEnd();
    }
    if (letti < testo.size()) return {{QStringLiteral("fuori posto alla posizione %1").arg(letti)}};
    record.removeLast(); // the empty one after the last CRLF
    return record;
}

// A workbook as a python3-openpyxl script prints it in JSON; empty when it could not be read.
inline QJsonObject leggiXlsx(const char *script, const QString &file)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), file});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << "python3-openpyxl:" << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

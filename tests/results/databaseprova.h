#pragma once
#include "aiuti.h"
#include "archiviodiretto.h"
#include "database/database.h"
#include "database/schema.h"
#include "messaggifinti.h"
#include "comune/identita.h"

#include <QTemporaryDir>

// A new timing database in a folder of its own, with canned message boxes.
struct DatabaseProva {
    QTemporaryDir cartella;
    QString percorso = cartella.filePath(QString::fromUtf8(identita::fileDatabase));
    Database db;
    MessaggiFinti messaggi;

    DatabaseProva() { schema::apriDatabase(db, percorso); }
    QString file(const QString &nome) const { return cartella.filePath(nome); }
    // Stores a lap through the real store; its time text is "<driver>/<n>".
    void segna(const QString &pilota, int n, float secondi)
    {
        ArchivioDiretto::memorizza(db, {pilota, n, secondi, QStringLiteral("%1/%2").arg(pilota).arg(n),
                                        QStringLiteral("Pista Nord"), QDateTime(QDate(2026, 12, 5), QTime(10, 0))});
    }
    qint64 conta(const char *sql) { Istruzione q = db.prepara(sql); return q.passo() ? q.intero(0) : -1; }
    // Every row of a query, with its one parameter when given.
    Righe righe(const char *sql, const QString &parametro = {})
    {
        Righe tutte;
        Istruzione q = db.prepara(sql);
        if (!parametro.isNull()) q.lega(1, parametro);
        while (q.passo()) {
            tutte.emplaceBack();
            for (int c = 0; c < q.colonne(); ++c) tutte.last().append(q.valore(c));
        }
        return tutte;
    }
};

#pragma once
// Small helpers the suites share: the rows of a query, a file read or written whole.
#include "database/database.h"

#include <QFile>
#include <QVariantList>

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

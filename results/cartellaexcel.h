#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>
#include <variant>

// A workbook as the exports write it (libxlsxwriter): typed cells, a bold
// header row kept in view, columns as wide as their contents.
namespace excel {

struct Durata { qint64 millisecondi; };  // shown [mm]:ss.000
struct Secondi { double valore; };       // shown 0.000
struct Decimale { double valore; };      // shown 0.000, for laps with their fraction
using Cella = std::variant<std::monostate, QString, qint64, Durata, Secondi, QDate, QTime, Decimale>;

struct Foglio {
    QString nome;
    QStringList intestazioni;
    QVector<QVector<Cella>> righe;
};

struct Proprieta {
    QString titolo, soggetto, commento;
    QDateTime creata;                       // local time
    QVector<QPair<QString, QString>> testi; // custom properties
    QVector<QPair<QString, QDateTime>> date;
};

// Builds the workbook in the temporary folder, then puts it in place through a
// temporary file and a rename; false with the reason in Italian.
bool scrivi(const QString &file, const QVector<Foglio> &fogli, const Proprieta &proprieta, QString *errore);

} // namespace excel

#pragma once
#include "results/esportazione.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

class ArchivioAsincrono;
class Database;
class DialogoFile;
class Messaggi;

// "Esporta CSV...": every stored lap and the standings as two files for the
// spreadsheets operators use here: UTF-8 with a byte-order mark, semicolons,
// decimal commas, CRLF and RFC 4180 quoting. A text cell that a spreadsheet
// would run as a formula (starting with = + - @, tab or carriage return) gets
// a leading apostrophe, so it shows as text. Both files are written through
// temporary files and renamed at the end: both or none.
class EsportazioneCsv {
public:
    static constexpr const char *titolo = "Esporta tempi";
    static constexpr const char *filtro = "File CSV|*.csv";

    struct Giro {
        QString pilota;
        std::optional<qint64> giro;
        QString tempo;
        std::optional<double> secondi;
        QString data, ora, pista;
    };
    struct Posto {
        QString pilota;
        std::optional<qint64> giri;
        QString tempoTotale;
    };
    struct Dati {
        QVector<Giro> giri;        // in storing order
        QVector<Posto> classifica; // in standings order
    };
    using Esito = EsitoEsportazione;

    // `archivio`, when given, commits the laps still waiting before the file is read.
    EsportazioneCsv(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                    ArchivioAsincrono *archivio = nullptr);

    // Asks for the name (and before replacing either file), then reads and
    // writes on a thread of its own (see Esportazione).
    Esito esporta();

    static Dati leggi(Database &db); // throws ErroreDatabase
    static QByteArray testoGiri(const Dati &dati);
    static QByteArray testoClassifica(const Dati &dati);
    // Writes `fileGiri` and its standings beside it; false with the reason in Italian.
    static bool scrivi(const QString &fileGiri, const Dati &dati, QString *errore);
    // One text cell as these files write it (formula guard, quoting), and the
    // files' two fixed parts, for the other exports in the same form.
    static QByteArray cella(const QString &testo);
    static QByteArray marcaBom(); // the byte-order mark
    static QByteArray aCapo();    // CRLF
    // "gara.csv" -> "gara-classifica.csv".
    static QString fileClassifica(const QString &fileGiri);

private:
    QString percorso_;
    Messaggi &messaggi_;
    DialogoFile &dialogo_;
    ArchivioAsincrono *archivio_;
};

#pragma once
#include "results/esportazione.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

class ArchivioAsincrono;
class Database;
class DialogoFile;
class Messaggi;

// "Esporta Excel...": one .xlsx workbook that reads the same in every
// spreadsheet and every language, because its cells carry types, not texts:
// sheets "Giri" (every lap), "Classifica" (the standings) and "Giri veloci"
// (the five fastest). Lap numbers are whole numbers, lap and total times
// durations shown as [mm]:ss.000, seconds plain numbers, dates and times of
// day real dates and times; names are always text, never formulas. The header
// row stays in view, columns fit their contents, and the document properties
// carry the track and the moment of the export.
class EsportazioneExcel {
public:
    static constexpr const char *titolo = "Esporta tempi per Excel";
    static constexpr const char *filtro = "Cartella di lavoro Excel|*.xlsx";
    static constexpr const char *formatoDurata = "[mm]:ss.000";

    struct Giro {
        QString pilota;
        std::optional<qint64> giro;
        std::optional<float> secondi;
        QString data, ora, pista;
    };
    struct Posto {
        QString pilota;
        std::optional<qint64> giri;
        std::optional<double> totale; // seconds
    };
    struct Dati {
        QVector<Giro> giri;        // in storing order
        QVector<Posto> classifica; // in standings order
        QVector<Giro> veloci;      // the five fastest, fastest first
        QDateTime esportato;       // local time
    };

    EsportazioneExcel(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo,
                      ArchivioAsincrono *archivio = nullptr);
    // Asks for the name (".xlsx" added to a name without an extension, and a
    // question before replacing a file), then reads and writes on a thread of
    // its own (see Esportazione).
    EsitoEsportazione esporta();

    static Dati leggi(Database &db); // throws ErroreDatabase
    // Builds the workbook in the temporary folder, then puts it in place
    // through a temporary file and a rename; false with the reason in Italian.
    static bool scrivi(const QString &file, const Dati &dati, QString *errore);

private:
    QString percorso_;
    Messaggi &messaggi_;
    DialogoFile &dialogo_;
    ArchivioAsincrono *archivio_;
};

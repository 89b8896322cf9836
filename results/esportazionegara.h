#pragma once
#include "results/cartellaexcel.h"
#include "results/esportazione.h"
#include "results/layoutgara.h"

#include <QDateTime>
#include <optional>

class ArchivioAsincrono;
class Database;
class DialogoFile;
class Messaggi;

// "Esporta gara CSV..." and "Esporta gara Excel...": the event's result, every
// heat's result with its penalties and notes, the trail, and the championship
// table when the event belongs to one, in the forms of the lap exports (CSV
// for spreadsheets set to Italian, a typed workbook for any).
class EsportazioneGara {
public:
    static constexpr const char *titoloCsv = "Esporta gara";
    static constexpr const char *titoloExcel = "Esporta gara per Excel";

    struct Dati {
        DatiStampaGara gara;
        std::optional<DatiStampaCampionato> campionato;
        QDateTime esportato;
    };
    // Throws ErroreDatabase.
    static Dati leggi(Database &db, qint64 gara);

    static QByteArray csvRisultato(const Dati &d);
    static QByteArray csvManche(const Dati &d);
    static QByteArray csvRegistro(const Dati &d);
    static QByteArray csvCampionato(const Dati &d);
    // "serata.csv" -> itself, "serata-manche.csv", "serata-registro.csv" (and "serata-campionato.csv").
    static QStringList fileCsv(const QString &nome, bool conCampionato);
    // All the files or none.
    static bool scriviCsv(const QString &nome, const Dati &d, QString *errore);
    static QVector<excel::Foglio> fogli(const Dati &d);
    static bool scriviExcel(const QString &file, const Dati &d, QString *errore);

    // `conCampionato`: the event belongs to a championship (one more file).
    EsportazioneGara(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo, ArchivioAsincrono *archivio = nullptr);
    EsitoEsportazione esportaCsv(qint64 gara, bool conCampionato);
    EsitoEsportazione esportaExcel(qint64 gara);

private:
    QString percorso_;
    Messaggi &messaggi_;
    DialogoFile &dialogo_;
    ArchivioAsincrono *archivio_;
};

#pragma once
#include "results/layoutstampa.h"

class Database;
class DialogoFile;
class Messaggi;
class Stampanti;

// Menu "Stampa": the session report from the timing database, on the default
// printer at once, or into a PDF file when the system has no printer. Reading,
// laying out and drawing run on a thread of their own with a connection of
// their own, so the timing window goes on while a long report is built.
class Stampa {
public:
    static constexpr const char *titoloPdf = "Salva stampa";
    static constexpr const char *filtroPdf = "PDF|*.pdf";
    static QString domandaPdf();

    enum class Esito { Stampato, SalvatoPdf, Annullato, Errore };

    Stampa(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo, Stampanti &stampanti);

    Esito stampa();

    // The three sources: the fastest lap (the first row of Sunto2), the
    // standings table and every lap of Sunto. Throws ErroreDatabase.
    static DatiStampa leggiDati(Database &db);

private:
    QString percorso_;
    Messaggi &messaggi_;
    DialogoFile &dialogo_;
    Stampanti &stampanti_;
};

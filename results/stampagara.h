#pragma once
#include "results/layoutgara.h"
#include "results/stampa.h"

class DialogoFile;
class Messaggi;
class Stampanti;

// The race pages of the report: heat sheets, an event's results, a
// championship table. Printed as the session report is (the default printer
// at once, or a PDF file when there is none), read and drawn off the window's
// thread with a connection of their own.
class StampaGara {
public:
    enum class Documento { Programma, Risultati, Campionato };

    StampaGara(QString percorsoDatabase, Messaggi &messaggi, DialogoFile &dialogo, Stampanti &stampanti);
    // `id`: the event, or the championship for Campionato.
    Stampa::Esito stampa(Documento documento, qint64 id);

    // The pages of a document from the file (throws ErroreDatabase); empty when the event or championship is gone.
    static QVector<VoceStampa> componi(Database &db, Documento documento, qint64 id, double altezzaPagina);

private:
    QString percorso_;
    Messaggi &messaggi_;
    DialogoFile &dialogo_;
    Stampanti &stampanti_;
};

#pragma once
#include "comune/messaggi.h"
#include <QList>

// Message boxes that record what was shown and answer from a queue of canned
// replies (the first button when the queue is empty).
struct MessaggiFinti : Messaggi {
    struct Mostrato {
        QString testo;
        Pulsanti pulsanti;
        Icona icona;
        QString titolo;
        int predefinito;
        bool avviso = false; // shown without waiting for an answer
        QString chiave;      // a notice that replaced the last of its kind
    };
    QList<Mostrato> mostrati;
    QList<Risposta> risposte;

    Risposta mostra(const QString &testo, Pulsanti pulsanti, Icona icona, const QString &titolo, int predefinito) override
    {
        mostrati.append({testo, pulsanti, icona, titolo, predefinito});
        return !risposte.isEmpty() ? risposte.takeFirst() : (pulsanti == Pulsanti::SiNo ? Risposta::Si : Risposta::Ok);
    }
    void avvisa(const QString &testo, Icona icona) override { mostrati.append({testo, Pulsanti::Ok, icona, QString(), 0, true}); }
    void sostituisciAvviso(const QString &chiave, const QString &testo, Icona icona) override
    {
        mostrati.append({testo, Pulsanti::Ok, icona, QString(), 0, true, chiave});
    }
    QString ultimo() const { return mostrati.isEmpty() ? QString() : mostrati.last().testo; }
};

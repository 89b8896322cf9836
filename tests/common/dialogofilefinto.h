#pragma once
#include "database/dialogofile.h"

#include <QList>

// File dialogs that record how they were asked and answer from a queue of
// file names (empty = the user cancelled; an empty queue cancels too).
class DialogoFileFinto : public DialogoFile {
public:
    struct Richiesta {
        bool salvataggio;
        QString titolo;
        QString filtro;
    };
    QList<Richiesta> richieste;
    QList<QString> risposte;

    QString apri(const QString &titolo, const QString &filtro) override
    {
        richieste.append({false, titolo, filtro});
        return risposte.isEmpty() ? QString() : risposte.takeFirst();
    }
    QString salva(const QString &titolo, const QString &filtro) override
    {
        richieste.append({true, titolo, filtro});
        return risposte.isEmpty() ? QString() : risposte.takeFirst();
    }
};

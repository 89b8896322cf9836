#pragma once
#include "comune/dialogofile.h"

#include <QList>

// File dialogs that record how they were asked and answer from a queue of
// file names (an empty queue or an empty name is the user cancelling).
struct DialogoFileFinto : DialogoFile {
    struct Richiesta { bool salvataggio; QString titolo, filtro; };
    QList<Richiesta> richieste;
    QList<QString> risposte;

    QString apri(const QString &titolo, const QString &filtro) override { return rispondi({false, titolo, filtro}); }
    QString salva(const QString &titolo, const QString &filtro) override { return rispondi({true, titolo, filtro}); }

private:
    QString rispondi(Richiesta r) { richieste << r; return risposte.isEmpty() ? QString() : risposte.takeFirst(); }
};

#pragma once
#include "database/database.h"
#include "gara/lavorigara.h"

#include <QPointer>
#include <QTimer>

// Race control's storage work on the test's own connection, at once; the
// answer comes back through the event loop, as it does from the lap writer.
struct LavoriDiretti : LavoriGara {
    explicit LavoriDiretti(Database &db) : db(db) {}
    Database &db;
    int eseguiti = 0;

    void esegui(QObject *contesto, Lavoro lavoro, Poi poi) override
    {
        ++eseguiti;
        bool fatto = true;
        QString errore;
        try {
            lavoro(db);
        } catch (const ErroreDatabase &e) {
            fatto = false;
            errore = e.messaggio();
        }
        QTimer::singleShot(0, [guardia = QPointer<QObject>(contesto), libero = !contesto, poi, fatto, errore] {
            if (libero || guardia) poi(fatto, errore);
        });
    }
};

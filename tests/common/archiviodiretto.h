#pragma once
#include "database/archiviotempi.h"
#include "database/database.h"

// The lap store straight on a connection of this thread, each call committed at
// once: for suites and benchmarks where the writer's thread would only be in the
// way. Engine errors are thrown, not shown.
class ArchivioDiretto : public ArchivioGiri {
public:
    explicit ArchivioDiretto(Database &db) : db_(db) {}

    int contaGiri(const QString &pilota) override { return archivioTempi::contaGiri(db_, pilota); }
    void scriviGiroVeloce(float tempo) override
    {
        Transazione t(db_);
        archivioTempi::aggiornaGiroVeloce(db_, tempo);
        t.conferma();
    }
    void memorizza(const GiroCompletato &giro) override { memorizza(db_, giro); }

    // The lap and the standings it changes, together or not at all.
    static void memorizza(Database &db, const GiroCompletato &giro)
    {
        Transazione t(db);
        archivioTempi::inserisciGiro(db, giro);
        archivioTempi::ricostruisciTempoTotale(db);
        t.conferma();
    }

private:
    Database &db_;
};

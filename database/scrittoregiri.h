#pragma once
#include "database/database.h"
#include "database/risultati.h"
#include "timing/archivio.h"

#include <QObject>
#include <QVector>
#include <functional>

class QTimer;

// One write of the lap store, in the order the session made it.
struct Scrittura {
    enum class Tipo { Giro, GiroVeloce };
    Tipo tipo = Tipo::Giro;
    quint64 numero = 0;  // given by the sender, growing
    GiroCompletato giro; // Tipo::Giro
    float tempo = 0;     // Tipo::GiroVeloce: the session's new fastest lap
};

// The lap store's writer. It lives on a thread of its own with a connection of
// its own, so no window ever waits on the disk: writes are queued in order and
// whatever waits together is committed in one transaction (group commit), with
// the standings rebuilt once per commit. A failed commit keeps everything queued,
// in order, and is tried again; the failure is reported once, not once per lap.
// After every commit it reads the grids' data and sends it.
class ScrittoreGiri : public QObject {
    Q_OBJECT
public:
    explicit ScrittoreGiri(QString percorso, QObject *parent = nullptr);
    ~ScrittoreGiri() override;

    // Everything below runs on the writer's thread (queued or blocking calls).
    void accoda(const QVector<Scrittura> &scritture);
    // One try, now, to commit what waits; returns the number of the last write committed.
    quint64 svuota();
    // Work of its own (a reset, a correction) done in order: what was queued
    // before it is committed first; refused, with the reason, when that fails.
    bool esegui(const std::function<void(Database &)> &lavoro, QString *errore);
    // Closes the connection after a last try to commit; nothing is written
    // until `apri` (the file is being replaced). Returns the last write committed.
    quint64 chiudi();
    bool apri(QString *errore);
    Risultati leggi();
    quint64 scritto() const { return scritto_; }
    // How long to wait before trying a failed commit again.
    void impostaRiprova(int ms);
    // While on, every reading also carries the standings' detail (totals in
    // seconds, best laps); turning it on sends a reading at once.
    void impostaDettaglio(bool conDettaglio);

signals:
    void scritte(quint64 finoA);
    // The first failure of a run of failures, in Italian.
    void fallita(const QString &messaggio);
    void ripresa();
    void risultati(const Risultati &r);

private:
    bool scrivi();
    bool connesso();
    void programma();

    QString percorso_;
    Database db_;
    QVector<Scrittura> coda_;
    quint64 scritto_ = 0;
    quint64 letture_ = 0;
    bool inErrore_ = false;
    bool chiuso_ = false;
    bool programmato_ = false;
    bool dettaglio_ = false;
    QTimer *riprova_;
};

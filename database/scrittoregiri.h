#pragma once
#include "database/database.h"
#include "piattaforma/file.h"
#include "database/risultati.h"
#include "timing/archivio.h"

#include <QHash>
#include <QObject>
#include <QVector>
#include <functional>
#include <memory>

class QTimer;

class CopieSicurezza;
class Database;

// One write of the lap store, in the order the session made it.
struct Scrittura {
    // Azzera: "Canc.Database" confirmed. Laps before it are committed and then
    // cleared with it, after a backup; laps after it are the new file's first.
    enum class Tipo { Giro, GiroVeloce, Azzera };
    Tipo tipo = Tipo::Giro;
    quint64 numero = 0;  // given by the sender, growing
    GiroCompletato giro; // Tipo::Giro
    float tempo = 0;     // Tipo::GiroVeloce: the session's new fastest lap
    // Tipo::Azzera: what the reset clears, in the commit's transaction; laps and standings when empty.
    std::function<void(Database &)> svuota;
};

// The lap store's writer. It lives on a thread of its own with a connection of
// its own, so no window ever waits on the disk: writes are queued in order and
// whatever waits together is committed in one transaction (group commit), with
// the standings rebuilt once per commit. A failed commit keeps everything queued,
// in order, and is tried again; the failure is reported once, not once per lap.
// After every commit it reads the grids' data and sends it.
// Before each commit, and when one fails, it checks that the name still leads
// to the file it opened and that nobody else changed the lap numbers in it: a
// file gone or replaced is closed and told, the laps wait, and a usable file
// back under the name is reopened; then nothing is written until the sender
// has renumbered the waiting laps to follow the file's (`rinumera`).
// It remembers the laps it committed to the file it knows; when another file
// takes its place, or the file's laps change under it, those the file now lacks
// go to the text file of unsaved laps and the operator is told.
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
    // Work that only reads (a copy of the file) runs after the try all the same.
    bool esegui(const std::function<void(Database &)> &lavoro, QString *errore, bool soloLettura = false);
    // Closes the connection after a last try to commit; nothing is written
    // until `apri` (the file is being replaced). Returns the last write committed.
    // `attesaMs` bounds how long that last try waits for another program's lock.
    quint64 chiudi(int attesaMs = attesaNormaleMs);
    bool apri(QString *errore);
    Risultati leggi();
    quint64 scritto() const { return scritto_; }
    // How long to wait before trying a failed commit again.
    void impostaRiprova(int ms);
    // While on, every reading also carries the standings' detail (totals in
    // seconds, best laps); turning it on sends a reading at once.
    void impostaDettaglio(bool conDettaglio);
    // After `daRiallineare`: everything not yet committed, numbered to follow the file.
    void rinumera(const QVector<Scrittura> &coda);
    // Where the backup before a reset goes; by default a folder beside the file.
    void impostaCopie(CopieSicurezza *copie);

    // The laps committed to the file, remembered so that a file put in its place
    // can be told what it lacks: at most this many, the newest.
    static constexpr int ricordatiMassimo = 100000;

    // A commit waits this long for another program's lock; a retry after a failure much less,
    // so whoever asks the writer something while it fails is answered soon.
    static constexpr int attesaNormaleMs = 2000;
    static constexpr int attesaRiprovaMs = 100;

signals:
    void scritte(quint64 finoA);
    // The first failure of a run of failures, in Italian.
    void fallita(const QString &messaggio);
    void ripresa();
    void risultati(const Risultati &r);
    // The file in use is not the one the lap numbers were counted on (another
    // file under the name, or changed by another program): each driver's
    // highest lap number in it, and what to tell the operator.
    void daRiallineare(const QHash<QString, int> &massimi, const QString &avviso);

private:
    struct Impegnato {
        qint64 id; // its row in the file
        GiroCompletato giro;
    };
    bool scrivi();
    bool scriviParte();
    QString recuperaMancanti();
    void rileggiImpegnati();
    CopieSicurezza &copie();
    bool connesso();
    void apriFile();
    bool fileAlSuoPosto();
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
    bool perso_ = false; // the file opened is gone from its name: closed until one is back
    bool fermo_ = false; // waiting for `rinumera`
    QString avvisoPerso_;
    int attesaForzata_ = -1; // the lock wait of a last try, when asked for
    IdentitaFile identita_;
    qint64 versione_ = 0;
    QHash<QString, int> massimi_; // each driver's highest lap number in the file, as this writer left it
    QVector<Impegnato> impegnati_; // laps committed since the file was opened or cleared, oldest first
    quint64 copiato_ = 0;          // the reset whose backup is made
    CopieSicurezza *copie_ = nullptr;
    std::unique_ptr<CopieSicurezza> copieProprie_;
    QTimer *riprova_;
};

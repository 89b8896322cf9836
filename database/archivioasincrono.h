#pragma once
#include "database/risultati.h"
#include "database/scrittoregiri.h"
#include "timing/archivio.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QThread>
#include <QTimer>

class Database;
class Messaggi;

// The lap store as the windows use it: laps and fastest laps are handed to the
// writer on its own thread and this returns at once. What one input made (the
// eight laps of a reply, a lap with the fastest lap it set) goes over together,
// so it is committed together. It keeps every write the writer has not
// confirmed yet, so lap numbers, the count of laps waiting and, at worst, a
// text file of them never depend on the disk.
class ArchivioAsincrono : public QObject, public ArchivioGiri, public FonteRisultati {
    Q_OBJECT
public:
    // `letture` is a connection of this thread to the same file, for the lap counters.
    ArchivioAsincrono(Database &letture, const QString &percorso, Messaggi &messaggi,
                      QObject *parent = nullptr);
    ~ArchivioAsincrono() override;

    // Highest lap number stored or still waiting for the driver.
    int contaGiri(const QString &pilota) override;
    void scriviGiroVeloce(float tempo) override;
    void memorizza(const GiroCompletato &giro) override;
    // The grids' data, read by the writer after what waits before it.
    Risultati leggiRisultati() override;

    // Laps handed over and not yet committed.
    int giriInAttesa() const;
    QList<Scrittura> inAttesa() const { return attese_; }

    // These wait for the writer. `svuota` has it commit what waits now: true
    // when nothing is left waiting (the file is then complete).
    bool svuota();
    // Work of the writer's connection in order with the laps (reset, corrections).
    bool esegui(const std::function<void(Database &)> &lavoro, QString *errore);
    // The file is about to be replaced: the writer commits what it can and closes.
    void sospendi();
    bool riprendi(QString *errore);
    // Stops the writer after a last try to commit. Laps still waiting then are
    // written to a text file beside the database, whose path is returned (empty
    // when nothing was waiting).
    QString ferma();
    // The text file `ferma` would write now.
    QString fileGiriInAttesa() const;

    // The writer, while it runs (until `ferma`).
    ScrittoreGiri *scrittore() { return scrittore_; }
    bool attivo() const { return attivo_; }
    // Has every reading of the writer carry the standings' detail (the live
    // page); turning it on sends a reading at once. Waits for nothing.
    void impostaDettaglio(bool conDettaglio);

signals:
    void risultati(const Risultati &r);
    // The number of laps to show as waiting: 0 while laps are committed as they come.
    void giriInAttesaDaMostrare(int n);

private:
    void confermate(quint64 finoA);
    void invia(Scrittura s);
    void spedisci();
    void aggiornaAvviso();
    template <typename F> void attendi(F &&f);

    Database &letture_;
    QString percorso_;
    Messaggi &messaggi_;
    QThread thread_;
    ScrittoreGiri *scrittore_;
    QList<Scrittura> attese_;
    QVector<Scrittura> daSpedire_; // made during this turn of the event loop
    QList<qint64> inviate_;     // when each of attese_ was handed over, ms of `tempo_`
    QElapsedTimer tempo_;
    quint64 prossimo_ = 0;
    bool inErrore_ = false;
    bool attivo_ = true;
    int mostrati_ = 0;
    QTimer controllo_;
};

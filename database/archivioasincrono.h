#pragma once
#include "database/risultati.h"
#include "comune/threaddedicato.h"
#include "database/scrittoregiri.h"
#include "timing/archivio.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

class CopieSicurezza;
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
    // The last reading of the grids' data, at once; the writer sends a fresh one
    // through `risultati` after what waits before it.
    Risultati leggiRisultati() override;

    // "Canc.Database" confirmed: handed over as a write, in order. The laps before
    // it are cleared with the rest of the file once the writer has backed it up
    // (`impostaCopie`); the laps after it are the first of the cleared file.
    void azzera(std::function<void(Database &)> svuota = {});
    void impostaCopie(CopieSicurezza *copie);

    // Laps handed over and not yet committed.
    int giriInAttesa() const;
    QList<Scrittura> inAttesa() const { return attese_; }

    // These ask the writer and return at once; `poi` runs on this thread when it
    // answered (never if a given `contesto` is gone by then). `svuotaPoi` has it commit
    // what waits now: `completo` when every write made before the call is in the file.
    void svuotaPoi(QObject *contesto, std::function<void(bool completo)> poi);
    // Work of the writer's connection in order with the laps (reset, corrections);
    // work that only reads (a copy of the file) runs even when laps wait.
    void eseguiPoi(QObject *contesto, std::function<void(Database &)> lavoro,
                   std::function<void(bool fatto, const QString &errore)> poi, bool soloLettura = false);
    // The file is about to be replaced: the writer commits what it can, closes, and
    // then `poi` runs; laps made from now on wait for the file that will be in place.
    void sospendiPoi(QObject *contesto, std::function<void()> poi);
    // The writer on the file again, without waiting for it (laps that waited follow its numbers).
    void riprendiPoi();
    // Closed by sospendi or sospendiPoi and not yet reopened.
    bool sospeso() const { return sospeso_; }

    // These wait for the writer (at once when nothing waits). `svuota` has it commit
    // what waits now: true when nothing is left waiting (the file is then complete).
    bool svuota();
    // Work of the writer's connection in order with the laps (reset, corrections).
    bool esegui(const std::function<void(Database &)> &lavoro, QString *errore);
    // The file is about to be replaced: the writer commits what it can and closes.
    void sospendi();
    bool riprendi(QString *errore);
    // Stops the writer after a last try to commit, which waits at most
    // `attesaMs` for another program's lock. Laps still waiting then are
    // written to a text file beside the database, whose path is returned (empty
    // when nothing was waiting).
    QString ferma(int attesaMs = ScrittoreGiri::attesaNormaleMs);
    // The text file `ferma` writes: the name is fixed the first time it is asked
    // for, so a question that names it names the file then written.
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
    // The file in use holds other lap numbers than the lanes counted on: each
    // driver's last lap number now (stored or waiting); drivers not named have none.
    void giriRiallineati(const QHash<QString, int> &ultimi);

private:
    void confermate(quint64 finoA);
    void invia(Scrittura s);
    void spedisci();
    void aggiornaAvviso();
    template <typename F> void attendi(F &&f);
    void riallinea(const QHash<QString, int> &massimi, const QString &avviso);

    Database &letture_;
    QString percorso_;
    Messaggi &messaggi_;
    ScrittoreGiri *scrittore_;
    // Commits wait for the serial thread, never the other way round.
    ThreadDedicato thread_{QStringLiteral("scrittore giri"), ThreadDedicato::Priorita::Ceduta};
    QList<Scrittura> attese_;
    QVector<Scrittura> daSpedire_; // made during this turn of the event loop
    QList<qint64> inviate_;     // when each of attese_ was handed over, ms of `tempo_`
    QElapsedTimer tempo_;
    quint64 prossimo_ = 0;
    bool inErrore_ = false;
    bool attivo_ = true;
    int mostrati_ = 0;
    bool sospeso_ = false;
    mutable QString fileTesto_;
    QTimer controllo_;
    Risultati ultimi_; // the last reading the writer sent
};

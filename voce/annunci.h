#pragma once
#include "voce/annunciatore.h"
#include "voce/impostazionivoce.h"
#include "voce/motori.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>

class Orologio;
class Sessione;
struct PassaggioGiro;

// What the track hears said of a session: turns its laps and clock into
// announcements as the settings ask (the tones are ToniSulGiro's). Lives on a
// thread of its own in the program; the engine is made there, only once
// something needs it.
class Annunci : public QObject {
    Q_OBJECT
public:
    using FabbricaVoce = std::function<std::unique_ptr<MotoreVoce>()>;

    explicit Annunci(Orologio &orologio, FabbricaVoce voce = creaMotoreVoce, QObject *parent = nullptr);
    ~Annunci() override;

    // Listens to a session (from any thread); its events arrive queued, after each mark is done.
    void segui(Sessione *sessione);
    const ImpostazioniVoce &impostazioni() const { return impostazioni_; }
    Annunciatore *annunciatore() const { return annunciatore_.get(); }

public slots:
    // Makes the engine, so that stato() tells what this system has.
    void prepara();
    void applica(const ImpostazioniVoce &impostazioni);
    // Says the sample phrase with these settings, whether announcements are on or not.
    void prova(const ImpostazioniVoce &impostazioni);

    void giro(const PassaggioGiro &giro);
    void avviata(double istante);
    void tempo(double trascorso, double limite);
    void terminata(double istante);
    // Race control: what it says, for a lane, or -1 for the race.
    void gara(const QString &testo, int corsia, double istante);

signals:
    // A missing or broken speech system: said once.
    void problema(const QString &testo);
    // After the engine was made, or broke: what the dialog shows.
    void stato(const QString &problemaVoce, const QStringList &voci);
    // An announcement about the event at `istante` began to be heard at `inizio`.
    void iniziato(const QString &testo, double istante, double inizio);

private:
    bool voceAPosto();
    void dici(const QString &testo, Priorita priorita, int corsia, double istante);
    void avvisa(const QString &testo);
    void comunicaStato();

    Orologio &orologio_;
    FabbricaVoce fabbricaVoce_;
    std::unique_ptr<MotoreVoce> voce_;
    std::unique_ptr<Annunciatore> annunciatore_;
    QString problemaVoce_;
    bool voceDetta_ = false;
    ImpostazioniVoce impostazioni_;
    QTimer controllo_;
    double rimasto_ = NAN; // session time left at the previous tick
};

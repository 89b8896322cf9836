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

// What the track hears of a session: turns its laps and clock into
// announcements and tones as the settings ask. Lives on a thread of its own in
// the program; the engines are made there, only once something needs them.
class Annunci : public QObject {
    Q_OBJECT
public:
    using FabbricaVoce = std::function<std::unique_ptr<MotoreVoce>()>;
    using FabbricaToni = std::function<std::unique_ptr<MotoreToni>()>;

    explicit Annunci(Orologio &orologio, FabbricaVoce voce = creaMotoreVoce, FabbricaToni toni = creaMotoreToni,
                     QObject *parent = nullptr);
    ~Annunci() override;

    // Listens to a session (from any thread); its events arrive queued, after each mark is done.
    void segui(Sessione *sessione);
    const ImpostazioniVoce &impostazioni() const { return impostazioni_; }
    Annunciatore *annunciatore() const { return annunciatore_.get(); }

public slots:
    // Makes both engines, so that stato() tells what this system has.
    void prepara();
    void applica(const ImpostazioniVoce &impostazioni);
    // Says the sample phrase with these settings, whether announcements are on or not.
    void prova(const ImpostazioniVoce &impostazioni);

    void giro(const PassaggioGiro &giro);
    void ignorato(int corsia, double istante);
    void avviata(double istante);
    void tempo(double trascorso, double limite);
    void terminata(double istante);
    // Race control: what it says (for a lane, or -1 for the race), and the start's tones.
    void gara(const QString &testo, int corsia, double istante);
    void tonoGara(Tono tono);

signals:
    // A missing or broken speech system or sound output: said once for each.
    void problema(const QString &testo);
    // After an engine was made: what the dialog shows.
    void stato(const QString &problemaVoce, const QString &problemaToni, const QStringList &voci);
    // An announcement about the event at `istante` began to be heard at `inizio`.
    void iniziato(const QString &testo, double istante, double inizio);

private:
    bool voceAPosto();
    bool toniAPosto();
    void dici(const QString &testo, Priorita priorita, int corsia, double istante);
    void suona(Tono tono);
    void avvisa(const QString &testo, bool &detto);
    void comunicaStato();

    Orologio &orologio_;
    FabbricaVoce fabbricaVoce_;
    FabbricaToni fabbricaToni_;
    std::unique_ptr<MotoreVoce> voce_;
    std::unique_ptr<Annunciatore> annunciatore_;
    std::unique_ptr<MotoreToni> toni_;
    QString problemaVoce_, problemaToni_;
    bool voceDetta_ = false, toniDetti_ = false;
    ImpostazioniVoce impostazioni_;
    QTimer controllo_;
    double rimasto_ = NAN; // session time left at the previous tick
};

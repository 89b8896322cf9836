#pragma once
#include "comune/threaddedicato.h"
#include "voce/annunci.h"
#include "voce/impostazionivoce.h"
#include "voce/tonisulgiro.h"

#include <QObject>
#include <QStringList>

class Impostazioni;
class Messaggi;
class Orologio;
class Sessione;

// The announcements and the lap tones as the program runs them, each on a
// thread of its own: a slow or stuck speech system holds up neither the
// window's thread nor a tone. Keeps the settings, tells the operator once when
// speech or tones are missing, and passes what the dialog changes on at once.
class ServizioVoce : public QObject {
    Q_OBJECT
public:
    ServizioVoce(Impostazioni &store, Messaggi &messaggi, Orologio &orologio,
                 Annunci::FabbricaVoce voce = creaMotoreVoce, ToniSulGiro::Fabbrica toni = creaMotoreToni,
                 QObject *parent = nullptr);
    ~ServizioVoce() override;

    void segui(Sessione *sessione);
    const ImpostazioniVoce &impostazioni() const { return impostazioni_; }
    // Takes effect at once; kept by salva().
    void imposta(const ImpostazioniVoce &impostazioni);
    void salva();
    void prova(const ImpostazioniVoce &impostazioni);
    // Makes the engines now, so the dialog can list the voices and say what is missing.
    void prepara();
    // Race control's announcements and the start's tones, on the voice's thread.
    void annunciaGara(const QString &testo, int corsia, double istante);
    void tonoGara(Tono tono);

    // Both engines have told what they have.
    bool statoNoto() const { return voceNota_ && toniNoti_; }
    QString problemaVoce() const { return problemaVoce_; }
    QString problemaToni() const { return problemaToni_; }
    QStringList voci() const { return voci_; }
    Annunci &annunci() { return *annunci_; }

signals:
    void statoCambiato();

private:
    Impostazioni &store_;
    ImpostazioniVoce impostazioni_;
    ThreadDedicato thread_{QStringLiteral("voce")}, threadToni_{QStringLiteral("toni")};
    Annunci *annunci_;
    ToniSulGiro *toni_;
    bool voceNota_ = false, toniNoti_ = false;
    QString problemaVoce_, problemaToni_;
    QStringList voci_;
};

#pragma once
#include "comune/threaddedicato.h"
#include "voce/annunci.h"
#include "voce/impostazionivoce.h"

#include <QObject>
#include <QStringList>

class Impostazioni;
class Messaggi;
class Orologio;
class Sessione;

// The announcements as the program runs them: on a thread of their own, so a
// slow or stuck speech system never holds up the window's thread. Keeps the
// settings, tells the operator once when speech or tones are missing, and
// passes what the dialog changes on at once.
class ServizioVoce : public QObject {
    Q_OBJECT
public:
    ServizioVoce(Impostazioni &store, Messaggi &messaggi, Orologio &orologio,
                 Annunci::FabbricaVoce voce = creaMotoreVoce, Annunci::FabbricaToni toni = creaMotoreToni,
                 QObject *parent = nullptr);
    ~ServizioVoce() override;

    void segui(Sessione *sessione) { annunci_->segui(sessione); }
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

    bool statoNoto() const { return statoNoto_; }
    QString problemaVoce() const { return problemaVoce_; }
    QString problemaToni() const { return problemaToni_; }
    QStringList voci() const { return voci_; }
    Annunci &annunci() { return *annunci_; }

signals:
    void statoCambiato();

private:
    Impostazioni &store_;
    ImpostazioniVoce impostazioni_;
    ThreadDedicato thread_{QStringLiteral("voce")};
    Annunci *annunci_;
    bool statoNoto_ = false;
    QString problemaVoce_, problemaToni_;
    QStringList voci_;
};

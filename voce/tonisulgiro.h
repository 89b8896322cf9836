#pragma once
#include "voce/impostazionivoce.h"
#include "voce/motori.h"

#include <QObject>
#include <functional>
#include <memory>

class Sessione;
struct PassaggioGiro;

// The lap tones: a short high one for every accepted lap, a low one for a
// crossing the shortest-lap rule drops; and the race start's beeps. In the program they live on a thread
// of their own, apart from the voice: a speech engine starting up or waiting
// on its server never holds a tone back. The engine is made there, only once
// a tone is turned on.
class ToniSulGiro : public QObject {
    Q_OBJECT
public:
    using Fabbrica = std::function<std::unique_ptr<MotoreToni>()>;

    explicit ToniSulGiro(Fabbrica fabbrica = creaMotoreToni, QObject *parent = nullptr);
    ~ToniSulGiro() override;

    // Listens to a session (from any thread); its events arrive queued, after each mark is done.
    void segui(Sessione *sessione);

public slots:
    // Makes the engine, so that stato() tells what this system has.
    void prepara();
    void applica(const ImpostazioniVoce &impostazioni);
    void giro(const PassaggioGiro &giro);
    void ignorato(int corsia, double istante);
    // Race control's start: each second and light, then lights out.
    void gara(Tono tono);

signals:
    // A missing or broken sound output: said once.
    void problema(const QString &testo);
    // After the engine was made, or broke: what the dialog shows.
    void stato(const QString &problemaToni);

private:
    bool aPosto();
    void suona(Tono tono);
    void avvisa(const QString &testo);

    Fabbrica fabbrica_;
    std::unique_ptr<MotoreToni> motore_;
    QString problema_;
    bool detto_ = false;
    ImpostazioniVoce impostazioni_;
};

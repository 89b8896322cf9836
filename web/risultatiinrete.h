#pragma once
#include "comune/threaddedicato.h"
#include "web/statopagina.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class ArchivioAsincrono;
class Impostazioni;
class ServerRisultati;
class Sessione;

// "Risultati in rete": the live results page as the program runs it. The
// choice (on or off, the port) is kept in the per-user settings and applied at
// once. The server runs on a thread of its own and is fed by the lap writer's
// commits directly; the timing window's part is a snapshot of its session at
// most every quarter of a second, and only while the page is on.
class RisultatiInRete : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 portaPredefinita = 8080;
    static constexpr int intervalloFotoMs = 250;

    RisultatiInRete(Impostazioni &impostazioni, ArchivioAsincrono &archivio, QObject *parent = nullptr);
    ~RisultatiInRete() override;

    // The stored choice.
    bool attivo() const;
    quint16 porta() const;
    // Stores the choice and applies it: false, with `errore()`, when the page
    // was asked for and the server could not start.
    bool imposta(bool attivo, quint16 porta);
    // At start: applies the stored choice.
    bool applica();
    bool inServizio() const { return server_ != nullptr; }
    quint16 portaInAscolto() const { return portaInAscolto_; }
    QString errore() const { return errore_; }

    // The timing window's session, followed while the page is on.
    void seguiSessione(Sessione *sessione);
    // The race on the lanes, shown with the session (an empty one in practice).
    void impostaGara(const FotoGara &gara);
    // The addresses to type on a phone or a TV: every IPv4 address of the
    // machine but the loopback one, as "http://address:port/".
    QStringList indirizzi() const;

    ServerRisultati *server() const { return server_; }

signals:
    void cambiato();

private:
    bool avvia(quint16 porta);
    void ferma();
    void sessioneCambiata();
    void inviaFoto();

    Impostazioni &impostazioni_;
    ArchivioAsincrono &archivio_;
    // Pages wait for the timing, never the other way round.
    ThreadDedicato thread_{QStringLiteral("risultati in rete"), ThreadDedicato::Priorita::Ceduta};
    ServerRisultati *server_ = nullptr;
    quint16 portaInAscolto_ = 0;
    QString errore_;
    QPointer<Sessione> sessione_;
    FotoGara gara_;
    QTimer foto_;
};

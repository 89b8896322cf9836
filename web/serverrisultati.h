#pragma once
#include "web/statopagina.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <atomic>

class QTcpSocket;
struct TestaHttp;

// The live results page over HTTP/1.1, read-only: "/" the page, "/api/stato"
// the same data as JSON, "/eventi" a Server-Sent Events stream that gets the
// whole state again after every change. It lives on a thread of its own, fed
// by queued calls (the lap writer's readings, the window's session snapshots),
// so nothing it does ever waits on the timing or makes the timing wait. GET
// only (405 otherwise), 404 for any other path; every answer carries a strict
// Content-Security-Policy.
//
// No client can make it starve anything: it reads a request head of at most
// `limiteTestata` bytes (431 beyond), a request must be whole within
// `limiteRichiestaMs` of its first byte however slowly it trickles in (408),
// one address holds at most `massimoPerIndirizzo` connections and all together
// `massimoConnessioni` (503 beyond), a connection whose answers have not moved
// for `fermoMs` is dropped (a screen that stopped reading), an idle one after
// `inattivitaMs`, and "Connection: close" (or HTTP/1.0) ends the connection
// after its answer. The heads are read here (leggiTestaHttp): Qt's own server
// reads without a limit, one byte at a time.
class ServerRisultati : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int massimoFlussi = 64;        // event streams; one more gets 503
    static constexpr int massimoConnessioni = 128;  // all connections; one more gets 503
    static constexpr int massimoPerIndirizzo = 16;  // connections of one client address
    static constexpr qint64 limiteTestata = 16 * 1024; // request line and headers
    static constexpr int limiteRichiestaMs = 10000; // from a request's first byte to its end
    static constexpr qint64 limiteFlusso = 64 * 1024;    // unsent bytes before a stream is dropped
    static constexpr qint64 limiteRisposte = 512 * 1024; // unsent answers before a client is dropped
    static constexpr int fermoMs = 3000;            // unsent bytes that have not moved for this long
    static constexpr int inattivitaMs = 30000;      // a connection with nothing to do this long is closed
    static constexpr int battitoMs = 15000;         // a comment on every stream, to find dead ones

    explicit ServerRisultati(QObject *parent = nullptr);
    ~ServerRisultati() override;

    // On the server's thread. Port 0 takes any free one. Returns the port, or 0
    // with the reason in Italian.
    quint16 ascolta(quint16 porta, QString *errore);
    // Closes every connection and stops listening.
    void chiudi();

    // Readable from any thread.
    int flussiAperti() const { return flussi_.load(); }
    int connessioniAperte() const { return connessioni_.load(); }
    // Connections being answered 503 and not yet gone.
    int rifiutiInCorso() const { return rifiutati_.load(); }

public slots:
    void ricevi(const Risultati &risultati);
    void riceviSessione(const FotoSessione &sessione);

signals:
    // An event carrying results reading `lettura` has been handed to `flussi` streams.
    void inviato(quint64 lettura, int flussi);

protected:
    void incomingConnection(qintptr descrittore) override;

private:
    struct Cliente {
        QHostAddress indirizzo;
        QByteArray letti;          // what came of the request under way
        qint64 inizioRichiesta = -1; // ms of `orologio_` of its first byte
        qint64 ultimoLavoro = 0;   // connected, or last answer begun
        qint64 fermoDa = -1;       // answers waiting and not moving since
        bool flusso = false;
        bool finito = false;       // last answer given: what still comes is read and dropped
    };

    void leggi(QTcpSocket *s);
    // Answers one request head (400 when it is none); false when the connection is to end.
    bool rispondi(QTcpSocket *s, Cliente &c, const TestaHttp &testa);
    // Writes the last answer and ends the connection; a client still sending is
    // read for a second more, so the answer is not lost to a reset.
    void chiudiCon(QTcpSocket *s, const QByteArray &risposta);
    void rifiuta(QTcpSocket *s);
    void sorveglia();
    void programma();
    void trasmetti();
    void scriviEvento(const QByteArray &evento);
    void togli(QTcpSocket *socket);

    StatoPagina stato_;
    QByteArray json_, html_; // built once per change
    QHash<QTcpSocket *, Cliente> clienti_;
    QHash<QHostAddress, int> perIndirizzo_;
    QList<QPointer<QTcpSocket>> aperti_; // the event streams
    std::atomic<int> flussi_{0};
    std::atomic<int> connessioni_{0};
    std::atomic<int> rifiutati_{0}; // answered 503 and not yet gone
    QElapsedTimer orologio_;
    bool programmato_ = false;
    quint64 eventi_ = 0;
    QTimer battito_;
    QTimer sorveglianza_;
};

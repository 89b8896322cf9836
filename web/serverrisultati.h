#pragma once
#include "web/statopagina.h"

#include <QAbstractHttpServer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <atomic>

class QTcpSocket;
class AscoltoLimitato;

// The live results page over HTTP, read-only: "/" the page, "/api/stato" the
// same data as JSON, "/eventi" a Server-Sent Events stream that gets the whole
// state again after every change. It lives on a thread of its own, fed by
// queued calls (the lap writer's readings, the window's session snapshots), so
// nothing it does ever waits on the timing or makes the timing wait. Qt's
// server parses the requests; an event stream is an answer that is never
// finished, written to again at each change. GET only (405 otherwise), 404
// for any other path; every answer carries a strict Content-Security-Policy.
// Connections are capped and a client that stops reading is dropped.
class ServerRisultati : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr int massimoFlussi = 64;       // event streams; one more gets 503
    static constexpr int massimoConnessioni = 128; // all connections; one more gets 503
    static constexpr qint64 limiteFlusso = 64 * 1024;      // unread bytes before a stream is dropped
    static constexpr qint64 limiteRisposte = 512 * 1024;   // unread answers before a client is dropped
    static constexpr int inattivitaMs = 30000;     // a connection silent this long is closed
    static constexpr int battitoMs = 15000;        // a comment on every stream, to find dead ones

    explicit ServerRisultati(QObject *parent = nullptr);
    ~ServerRisultati() override;

    // On the server's thread. Port 0 takes any free one. Returns the port, or 0
    // with the reason in Italian.
    quint16 ascolta(quint16 porta, QString *errore);
    // Closes every connection and stops listening.
    void chiudi();

    // Readable from any thread.
    int flussiAperti() const { return flussi_.load(); }

public slots:
    void ricevi(const Risultati &risultati);
    void riceviSessione(const FotoSessione &sessione);

signals:
    // An event carrying results reading `lettura` has been handed to `flussi` streams.
    void inviato(quint64 lettura, int flussi);

protected:
    bool handleRequest(const QHttpServerRequest &richiesta, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &richiesta, QTcpSocket *socket) override;

private:
    void programma();
    void trasmetti();
    void scriviEvento(const QByteArray &evento);
    void togli(QTcpSocket *socket);

    StatoPagina stato_;
    QByteArray json_, html_; // built once per change
    QList<QPointer<QTcpSocket>> aperti_;
    std::atomic<int> flussi_{0};
    AscoltoLimitato *ascolto_ = nullptr;
    bool programmato_ = false;
    quint64 eventi_ = 0;
    QTimer battito_;
};

#include "web/serverrisultati.h"

#include <QDateTime>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

using Codice = QHttpServerResponder::StatusCode;

namespace {
constexpr char proprietaFlusso[] = "saettinoFlusso";
constexpr char proprietaAttivita[] = "saettinoAttivita";

void segnaAttivita(QTcpSocket *s) { s->setProperty(proprietaAttivita, QDateTime::currentMSecsSinceEpoch()); }

QByteArray testata(Codice codice, const QByteArray &tipo, qint64 lunghezza, bool chiudi = false)
{
    QByteArray t = "HTTP/1.1 " + QByteArray::number(int(codice)) + ' ';
    switch (codice) {
    case Codice::Ok: t += "OK"; break;
    case Codice::NotFound: t += "Not Found"; break;
    case Codice::MethodNotAllowed: t += "Method Not Allowed"; break;
    default: t += "Service Unavailable"; break;
    }
    t += "\r\nContent-Type: " + tipo;
    if (lunghezza >= 0) t += "\r\nContent-Length: " + QByteArray::number(lunghezza);
    t += "\r\nContent-Security-Policy: " + pagina::politicaSicurezza()
       + "\r\nX-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\nCache-Control: no-store";
    if (codice == Codice::MethodNotAllowed) t += "\r\nAllow: GET";
    if (codice == Codice::ServiceUnavailable) t += "\r\nRetry-After: 5";
    if (chiudi) t += "\r\nConnection: close";
    return t + "\r\n\r\n";
}

QByteArray risposta(Codice codice, const QByteArray &tipo, const QByteArray &corpo, bool chiudi = false)
{
    return testata(codice, tipo, corpo.size(), chiudi) + corpo;
}

const QByteArray testoSemplice = "text/plain; charset=utf-8";
} // namespace

// The listening socket with the connection cap: a connection over the cap is
// answered 503 once its request is in (so the client reads the answer rather
// than a reset) and closed; it never reaches the HTTP server. Connections that
// stay silent are closed by a sweep.
class AscoltoLimitato : public QTcpServer {
public:
    explicit AscoltoLimitato(QObject *parent) : QTcpServer(parent)
    {
        pulizia_.setInterval(5000);
        connect(&pulizia_, &QTimer::timeout, this, &AscoltoLimitato::pulisci);
        pulizia_.start();
    }
    ~AscoltoLimitato() override { qDeleteAll(findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly)); }
    std::atomic<int> aperte{0};

protected:
    void incomingConnection(qintptr descrittore) override
    {
        auto *s = new QTcpSocket(this);
        if (!s->setSocketDescriptor(descrittore)) {
            delete s;
            return;
        }
        if (aperte.load() >= ServerRisultati::massimoConnessioni) return rifiuta(s);
        ++aperte;
        // Events are small and spaced: sent at once, not held back for the client's acknowledgement.
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(s, &QObject::destroyed, this, [this] { --aperte; });
        segnaAttivita(s);
        connect(s, &QTcpSocket::readyRead, s, [s] { segnaAttivita(s); });
        connect(s, &QTcpSocket::bytesWritten, s, [s] { segnaAttivita(s); });
        addPendingConnection(s);
    }

private:
    static void rifiuta(QTcpSocket *s)
    {
        const QByteArray no = risposta(Codice::ServiceUnavailable, testoSemplice,
                                       "Troppe connessioni: riprovare tra poco.\n", true);
        segnaAttivita(s);
        auto rispondi = [s, no] {
            if (s->property("risposto").toBool()) return;
            s->setProperty("risposto", true);
            s->readAll();
            s->write(no);
            s->disconnectFromHost();
        };
        connect(s, &QTcpSocket::readyRead, s, rispondi);
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        QTimer::singleShot(500, s, rispondi);     // a client that sends nothing is answered all the same
        QTimer::singleShot(5000, s, &QObject::deleteLater);
        if (s->bytesAvailable() > 0) rispondi();
    }

    void pulisci()
    {
        const qint64 limite = QDateTime::currentMSecsSinceEpoch() - ServerRisultati::inattivitaMs;
        for (QTcpSocket *s : findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly))
            if (!s->property(proprietaFlusso).toBool() && s->property(proprietaAttivita).toLongLong() < limite)
                s->abort();
    }
    QTimer pulizia_;
};

ServerRisultati::ServerRisultati(QObject *parent) : QAbstractHttpServer(parent), battito_(this)
{
    qRegisterMetaType<Risultati>();
    qRegisterMetaType<FotoSessione>();
    battito_.setInterval(battitoMs);
    connect(&battito_, &QTimer::timeout, this, [this] { scriviEvento(": battito\n\n"); });
}

ServerRisultati::~ServerRisultati() { chiudi(); }

quint16 ServerRisultati::ascolta(quint16 porta, QString *errore)
{
    chiudi();
    auto *ascolto = new AscoltoLimitato(this);
    if (!ascolto->listen(QHostAddress::Any, porta)) {
        if (errore)
            *errore = ascolto->serverError() == QAbstractSocket::AddressInUseError
                ? QStringLiteral("La porta %1 è già usata da un altro programma: sceglierne un'altra.").arg(porta)
                : QStringLiteral("Impossibile aprire la porta %1: %2").arg(porta).arg(ascolto->errorString());
        delete ascolto;
        return 0;
    }
    ascolto_ = ascolto;
    bind(ascolto_);
    battito_.start();
    return ascolto_->serverPort();
}

void ServerRisultati::chiudi()
{
    battito_.stop();
    aperti_.clear();
    flussi_ = 0;
    // Deleting the listener closes every connection it accepted.
    delete ascolto_;
    ascolto_ = nullptr;
}

void ServerRisultati::ricevi(const Risultati &risultati)
{
    // A failed reading keeps what was shown; one with nothing to read empties it, as the grids do.
    if (risultati.numero != 0 && risultati.numero <= stato_.risultati.numero) return;
    if (!risultati.aperto) stato_.risultati = Risultati{risultati.numero, false};
    else if (risultati.errore.isEmpty()) stato_.risultati = risultati;
    else return;
    programma();
}

void ServerRisultati::riceviSessione(const FotoSessione &sessione)
{
    if (sessione == stato_.sessione) return;
    stato_.sessione = sessione;
    programma();
}

// Whatever arrives in one turn of the event loop goes out as one event.
void ServerRisultati::programma()
{
    json_.clear();
    html_.clear();
    if (programmato_) return;
    programmato_ = true;
    QMetaObject::invokeMethod(this, &ServerRisultati::trasmetti, Qt::QueuedConnection);
}

void ServerRisultati::trasmetti()
{
    programmato_ = false;
    if (json_.isEmpty()) json_ = pagina::json(stato_);
    scriviEvento("id: " + QByteArray::number(++eventi_) + "\ndata: " + json_ + "\n\n");
    emit inviato(stato_.risultati.numero, flussi_.load());
}

void ServerRisultati::scriviEvento(const QByteArray &evento)
{
    const auto aperti = aperti_;
    for (const QPointer<QTcpSocket> &s : aperti) {
        if (!s || s->state() != QAbstractSocket::ConnectedState) {
            togli(s);
        } else if (s->bytesToWrite() > limiteFlusso) {
            // A client that stopped reading: its backlog would only grow.
            togli(s);
            s->abort();
        } else {
            s->write(evento);
            s->flush();
        }
    }
}

void ServerRisultati::togli(QTcpSocket *socket)
{
    aperti_.removeIf([socket](const QPointer<QTcpSocket> &p) { return !p || p == socket; });
    flussi_ = int(aperti_.size());
}

bool ServerRisultati::handleRequest(const QHttpServerRequest &richiesta, QTcpSocket *socket)
{
    // A client that asks and asks and reads nothing back, or asks more on an event
    // stream, is let go; not here, as the HTTP server still holds the socket.
    if (socket->bytesToWrite() > limiteRisposte || socket->property(proprietaFlusso).toBool()) {
        QMetaObject::invokeMethod(socket, &QAbstractSocket::abort, Qt::QueuedConnection);
        return true;
    }
    const QString percorso = richiesta.url().path();
    if (richiesta.method() != QHttpServerRequest::Method::Get) {
        socket->write(risposta(Codice::MethodNotAllowed, testoSemplice, "Solo lettura: è ammesso soltanto GET.\n"));
    } else if (percorso == QLatin1String("/")) {
        if (html_.isEmpty()) html_ = pagina::html(stato_);
        socket->write(risposta(Codice::Ok, "text/html; charset=utf-8", html_));
    } else if (percorso == QLatin1String("/api/stato")) {
        if (json_.isEmpty()) json_ = pagina::json(stato_);
        socket->write(risposta(Codice::Ok, "application/json; charset=utf-8", json_));
    } else if (percorso == QLatin1String("/eventi")) {
        if (flussi_.load() >= massimoFlussi) {
            socket->write(risposta(Codice::ServiceUnavailable, testoSemplice, "Troppi schermi collegati.\n", true));
            socket->disconnectFromHost();
            return true;
        }
        if (json_.isEmpty()) json_ = pagina::json(stato_);
        // No length: the answer goes on for as long as the connection lasts.
        socket->write(testata(Codice::Ok, "text/event-stream; charset=utf-8", -1) + "retry: 2000\n\nid: "
                      + QByteArray::number(eventi_) + "\ndata: " + json_ + "\n\n");
        socket->setProperty(proprietaFlusso, true);
        aperti_.append(socket);
        flussi_ = int(aperti_.size());
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { togli(socket); });
    } else {
        socket->write(risposta(Codice::NotFound, testoSemplice, "Pagina inesistente.\n"));
    }
    return true;
}

void ServerRisultati::missingHandler(const QHttpServerRequest &, QTcpSocket *socket)
{
    socket->write(risposta(Codice::NotFound, testoSemplice, "Pagina inesistente.\n"));
}

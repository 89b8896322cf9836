#include "web/serverrisultati.h"

#include "web/testahttp.h"

#include <QTcpSocket>
#include <QThread>

namespace {

QByteArray frase(int codice)
{
    switch (codice) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    default: return "Service Unavailable";
    }
}

QByteArray testata(int codice, const QByteArray &tipo, qint64 lunghezza, bool chiudi = false)
{
    QByteArray t = "HTTP/1.1 " + QByteArray::number(codice) + ' ' + frase(codice);
    t += "\r\nContent-Type: " + tipo;
    if (lunghezza >= 0) t += "\r\nContent-Length: " + QByteArray::number(lunghezza);
    t += "\r\nContent-Security-Policy: " + pagina::politicaSicurezza()
       + "\r\nX-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\nCache-Control: no-store";
    if (codice == 405) t += "\r\nAllow: GET";
    if (codice == 503) t += "\r\nRetry-After: 5";
    if (chiudi) t += "\r\nConnection: close";
    return t + "\r\n\r\n";
}

QByteArray risposta(int codice, const QByteArray &tipo, const QByteArray &corpo, bool chiudi = false)
{
    return testata(codice, tipo, corpo.size(), chiudi) + corpo;
}

const QByteArray testoSemplice = "text/plain; charset=utf-8";

QByteArray errore(int codice, const QByteArray &testo) { return risposta(codice, testoSemplice, testo, true); }

} // namespace

ServerRisultati::ServerRisultati(QObject *parent)
    : QTcpServer(parent), battito_(this), sorveglianza_(this)
{
    qRegisterMetaType<Risultati>();
    qRegisterMetaType<FotoSessione>();
    orologio_.start();
    battito_.setInterval(battitoMs);
    connect(&battito_, &QTimer::timeout, this, [this] { scriviEvento(": battito\n\n"); });
    sorveglianza_.setInterval(500);
    connect(&sorveglianza_, &QTimer::timeout, this, &ServerRisultati::sorveglia);
}

ServerRisultati::~ServerRisultati() { chiudi(); }

quint16 ServerRisultati::ascolta(quint16 porta, QString *errore)
{
    chiudi();
    if (!listen(QHostAddress::Any, porta)) {
        if (errore)
            *errore = serverError() == QAbstractSocket::AddressInUseError
                ? QStringLiteral("La porta %1 è già usata da un altro programma: sceglierne un'altra.").arg(porta)
                : QStringLiteral("Impossibile aprire la porta %1: %2").arg(porta).arg(errorString());
        return 0;
    }
    battito_.start();
    sorveglianza_.start();
    return serverPort();
}

void ServerRisultati::chiudi()
{
    battito_.stop();
    sorveglianza_.stop();
    close();
    aperti_.clear();
    flussi_ = 0;
    const auto sockets = findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly);
    clienti_.clear();
    perIndirizzo_.clear();
    connessioni_ = 0;
    // Each connection turned away counts itself out as it goes, here too.
    qDeleteAll(sockets);
}

void ServerRisultati::incomingConnection(qintptr descrittore)
{
    auto *s = new QTcpSocket(this);
    if (!s->setSocketDescriptor(descrittore)) {
        delete s;
        return;
    }
    const QHostAddress indirizzo = s->peerAddress();
    if (clienti_.size() >= massimoConnessioni || perIndirizzo_.value(indirizzo) >= massimoPerIndirizzo)
        return rifiuta(s);
    // What Qt keeps of the client's bytes stays within one head and a little more.
    s->setReadBufferSize(limiteTestata + 4096);
    // Events are small and spaced: sent at once, not held back for the client's acknowledgement.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    Cliente c;
    c.indirizzo = indirizzo;
    c.ultimoLavoro = orologio_.elapsed();
    clienti_.insert(s, c);
    ++perIndirizzo_[indirizzo];
    connessioni_ = int(clienti_.size());
    connect(s, &QTcpSocket::readyRead, this, [this, s] { leggi(s); });
    connect(s, &QTcpSocket::bytesWritten, this, [this, s] {
        if (auto c = clienti_.find(s); c != clienti_.end()) c->fermoDa = -1; // it moves
    });
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    connect(s, &QObject::destroyed, this, [this, s] {
        togli(s);
        const auto c = clienti_.constFind(s);
        if (c == clienti_.cend()) return;
        if (--perIndirizzo_[c->indirizzo] <= 0) perIndirizzo_.remove(c->indirizzo);
        clienti_.erase(c);
        connessioni_ = int(clienti_.size());
    });
    if (s->bytesAvailable() > 0) leggi(s);
}

// A connection over a cap is answered 503 once its request is in (so the
// client reads the answer rather than a reset), or after half a second, and
// closed; it never holds more than a second.
void ServerRisultati::rifiuta(QTcpSocket *s)
{
    if (rifiutati_ >= massimoConnessioni) {
        s->abort();
        s->deleteLater();
        return;
    }
    ++rifiutati_;
    s->setReadBufferSize(4096);
    const QByteArray no = errore(503, "Troppe connessioni: riprovare tra poco.\n");
    auto rispondi = [s, no] {
        s->readAll();
        if (s->property("risposto").toBool()) return;
        s->setProperty("risposto", true);
        s->write(no);
        s->disconnectFromHost();
    };
    connect(s, &QTcpSocket::readyRead, s, rispondi);
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    connect(s, &QObject::destroyed, this, [this] { --rifiutati_; });
    QTimer::singleShot(500, s, rispondi);
    QTimer::singleShot(1000, s, &QObject::deleteLater);
    if (s->bytesAvailable() > 0) rispondi();
}

void ServerRisultati::leggi(QTcpSocket *s)
{
    const auto trovato = clienti_.find(s);
    if (trovato == clienti_.end()) return;
    Cliente &c = *trovato;
    // An event stream asks for nothing more: a client that does is let go.
    if (c.flusso) {
        s->abort();
        return;
    }
    if (c.finito) {
        s->readAll();
        return;
    }
    const QByteArray arrivati = s->readAll();
    if (arrivati.isEmpty()) return;
    if (c.letti.isEmpty()) c.inizioRichiesta = orologio_.elapsed();
    c.letti += arrivati;
    for (;;) {
        const TestaHttp testa = leggiTestaHttp(c.letti, limiteTestata);
        c.letti.remove(0, testa.consumati);
        switch (testa.esito) {
        case TestaHttp::Esito::Nessuna:
            c.inizioRichiesta = -1;
            return;
        case TestaHttp::Esito::Incompleta:
            return;
        case TestaHttp::Esito::TroppoLunga:
            return chiudiCon(s, errore(431, "Intestazioni della richiesta troppo lunghe.\n"));
        case TestaHttp::Esito::NonValida:
        case TestaHttp::Esito::Completa:
            break;
        }
        if (!rispondi(s, c, testa)) return chiudiCon(s, {});
        if (c.flusso) return;
        c.inizioRichiesta = orologio_.elapsed();
    }
}

bool ServerRisultati::rispondi(QTcpSocket *s, Cliente &c, const TestaHttp &testa)
{
    c.ultimoLavoro = orologio_.elapsed();
    // A client that asks and asks and reads nothing back is let go.
    if (s->bytesToWrite() > limiteRisposte) {
        s->abort();
        return false;
    }
    if (testa.esito != TestaHttp::Esito::Completa) {
        s->write(errore(400, "Richiesta non valida.\n"));
        return false;
    }
    const bool chiudi = testa.chiudi;
    const QString &percorso = testa.percorso;
    if (testa.metodo != "GET") {
        s->write(risposta(405, testoSemplice, "Solo lettura: è ammesso soltanto GET.\n", chiudi));
    } else if (testa.conCorpo) {
        s->write(errore(400, "Una richiesta GET non ha corpo.\n"));
    } else if (percorso == QLatin1String("/")) {
        if (html_.isEmpty()) html_ = pagina::html(stato_);
        s->write(risposta(200, "text/html; charset=utf-8", html_, chiudi));
    } else if (percorso == QLatin1String("/api/stato")) {
        if (json_.isEmpty()) json_ = pagina::json(stato_);
        s->write(risposta(200, "application/json; charset=utf-8", json_, chiudi));
    } else if (percorso == QLatin1String("/eventi")) {
        if (flussi_.load() >= massimoFlussi) {
            s->write(errore(503, "Troppi schermi collegati.\n"));
            return false;
        }
        if (json_.isEmpty()) json_ = pagina::json(stato_);
        // No length: the answer goes on for as long as the connection lasts.
        s->write(testata(200, "text/event-stream; charset=utf-8", -1) + "retry: 2000\n\nid: "
                 + QByteArray::number(eventi_) + "\ndata: " + json_ + "\n\n");
        // A small send buffer: a screen that stops reading shows up as bytes that do not move.
        s->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
        c.flusso = true;
        c.letti.clear();
        c.inizioRichiesta = -1;
        aperti_.append(s);
        flussi_ = int(aperti_.size());
        return true;
    } else {
        s->write(risposta(404, testoSemplice, "Pagina inesistente.\n", chiudi));
    }
    return !chiudi;
}

void ServerRisultati::chiudiCon(QTcpSocket *s, const QByteArray &testo)
{
    const auto c = clienti_.find(s);
    if (c == clienti_.end() || c->finito) return;
    if (!testo.isEmpty()) s->write(testo);
    if (c->letti.isEmpty() && s->bytesAvailable() == 0) {
        s->disconnectFromHost();
        return;
    }
    c->finito = true;
    c->letti.clear();
    c->inizioRichiesta = -1;
    s->readAll();
    QTimer::singleShot(1000, s, [s] { s->disconnectFromHost(); });
}

// Twice a second: requests past their deadline, connections with nothing to do,
// answers nobody takes.
void ServerRisultati::sorveglia()
{
    const qint64 ora = orologio_.elapsed();
    QList<QTcpSocket *> scaduti, fermi, inattivi;
    for (auto c = clienti_.begin(); c != clienti_.end(); ++c) {
        QTcpSocket *s = c.key();
        if (s->state() != QAbstractSocket::ConnectedState) continue;
        if (s->bytesToWrite() > 0) {
            if (c->fermoDa < 0) c->fermoDa = ora;
            else if (ora - c->fermoDa >= fermoMs) fermi.append(s);
        } else {
            c->fermoDa = -1;
        }
        if (c->finito) continue;
        if (c->inizioRichiesta >= 0 && ora - c->inizioRichiesta >= limiteRichiestaMs) scaduti.append(s);
        else if (!c->flusso && c->inizioRichiesta < 0 && s->bytesToWrite() == 0 && ora - c->ultimoLavoro >= inattivitaMs)
            inattivi.append(s);
    }
    for (QTcpSocket *s : std::as_const(fermi)) s->abort();
    for (QTcpSocket *s : std::as_const(scaduti))
        if (!fermi.contains(s)) chiudiCon(s, errore(408, "Richiesta non completata in tempo.\n"));
    for (QTcpSocket *s : std::as_const(inattivi)) chiudiCon(s, {});
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

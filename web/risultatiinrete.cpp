#include "web/risultatiinrete.h"

#include "database/archivioasincrono.h"
#include "comune/impostazioni.h"
#include "timing/globale.h"
#include "timing/sessione.h"
#include "web/serverrisultati.h"

#include <QNetworkInterface>

namespace {
const QString sezione = QStringLiteral("RisultatiInRete");
const QString chiaveAttivo = QStringLiteral("Attivo");
const QString chiavePorta = QStringLiteral("Porta");
} // namespace

RisultatiInRete::RisultatiInRete(Impostazioni &impostazioni, ArchivioAsincrono &archivio, QObject *parent)
    : QObject(parent), impostazioni_(impostazioni), archivio_(archivio)
{
    foto_.setSingleShot(true);
    foto_.setInterval(intervalloFotoMs);
    connect(&foto_, &QTimer::timeout, this, &RisultatiInRete::inviaFoto);
}

RisultatiInRete::~RisultatiInRete() { ferma(); }

bool RisultatiInRete::attivo() const { return impostazioni_.interruttore(sezione, chiaveAttivo).value_or(false); }

quint16 RisultatiInRete::porta() const
{
    return quint16(impostazioni_.intero(sezione, chiavePorta, 1, 65535).value_or(portaPredefinita));
}

bool RisultatiInRete::imposta(bool attivo, quint16 porta)
{
    impostazioni_.scriviInterruttore(sezione, chiaveAttivo, attivo);
    impostazioni_.scriviIntero(sezione, chiavePorta, porta);
    return applica();
}

bool RisultatiInRete::applica()
{
    const bool voluto = attivo();
    const quint16 p = porta();
    if (voluto && server_ && portaInAscolto_ == p) return true;
    ferma();
    errore_.clear();
    const bool fatto = !voluto || avvia(p);
    emit cambiato();
    return fatto;
}

bool RisultatiInRete::avvia(quint16 porta)
{
    if (!archivio_.attivo()) {
        errore_ = QStringLiteral("Il programma si sta chiudendo.");
        return false;
    }
    auto *server = new ServerRisultati;
    thread_.avvia(server);
    quint16 aperta = 0;
    // Opening a port takes no time worth mentioning; the window waits for the answer.
    QMetaObject::invokeMethod(server, [&] { aperta = server->ascolta(porta, &errore_); },
                              Qt::BlockingQueuedConnection);
    if (aperta == 0) {
        thread_.ferma(); // the server goes with its thread
        return false;
    }
    server_ = server;
    portaInAscolto_ = aperta;
    // Straight from the writer's thread to the server's: the window is not on the way.
    connect(archivio_.scrittore(), &ScrittoreGiri::risultati, server_, &ServerRisultati::ricevi);
    archivio_.impostaDettaglio(true);
    inviaFoto();
    return true;
}

void RisultatiInRete::ferma()
{
    foto_.stop();
    if (!server_) return;
    archivio_.impostaDettaglio(false);
    server_ = nullptr;
    portaInAscolto_ = 0;
    thread_.ferma(); // the server goes with its thread
}

void RisultatiInRete::seguiSessione(Sessione *sessione)
{
    if (sessione_) disconnect(sessione_, nullptr, this, nullptr);
    sessione_ = sessione;
    if (!sessione) return;
    connect(sessione, &Sessione::cambiato, this, &RisultatiInRete::sessioneCambiata);
    inviaFoto();
}

void RisultatiInRete::impostaGara(const FotoGara &gara)
{
    if (gara == gara_) return;
    gara_ = gara;
    sessioneCambiata();
}

// The session changes ten times a second; the page needs no more than four.
void RisultatiInRete::sessioneCambiata()
{
    if (server_ && !foto_.isActive()) foto_.start();
}

void RisultatiInRete::inviaFoto()
{
    if (!server_ || !sessione_) return;
    FotoSessione f = fotografa(*sessione_, globale().nomePista);
    f.gara = gara_;
    QMetaObject::invokeMethod(server_, [s = server_, f] { s->riceviSessione(f); }, Qt::QueuedConnection);
}

QStringList RisultatiInRete::indirizzi() const
{
    QStringList lista;
    const quint16 p = server_ ? portaInAscolto_ : porta();
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsUp) || (i.flags() & QNetworkInterface::IsLoopBack)) continue;
        for (const QNetworkAddressEntry &e : i.addressEntries()) {
            const QHostAddress a = e.ip();
            if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
                lista.append(QStringLiteral("http://%1:%2/").arg(a.toString()).arg(p));
        }
    }
    return lista;
}

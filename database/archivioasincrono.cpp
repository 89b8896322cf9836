#include "database/archivioasincrono.h"

#include "comune/messaggi.h"
#include "database/archiviotempi.h"
#include "database/database.h"
#include "database/giriditesto.h"
#include "comune/identita.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <utility>

namespace {
// Laps wait visibly only when the writer is failing or slower than this.
constexpr qint64 attesaVisibileMs = 500;
} // namespace

ArchivioAsincrono::ArchivioAsincrono(Database &letture, const QString &percorso, Messaggi &messaggi,
                                     QObject *parent)
    : QObject(parent), letture_(letture), percorso_(percorso), messaggi_(messaggi),
      scrittore_(new ScrittoreGiri(percorso))
{
    tempo_.start();
    connect(scrittore_, &ScrittoreGiri::scritte, this, &ArchivioAsincrono::confermate);
    connect(scrittore_, &ScrittoreGiri::risultati, this, [this](const Risultati &r) {
        if (r.numero > ultimi_.numero) ultimi_ = r;
        emit risultati(r);
    });
    connect(scrittore_, &ScrittoreGiri::daRiallineare, this, &ArchivioAsincrono::riallinea);
    connect(scrittore_, &ScrittoreGiri::fallita, this, [this](const QString &testo) {
        inErrore_ = true;
        aggiornaAvviso();
        messaggi_.avvisa(testo, Messaggi::Icona::Esclamazione);
    });
    connect(scrittore_, &ScrittoreGiri::ripresa, this, [this] {
        inErrore_ = false;
        aggiornaAvviso();
    });
    controllo_.setInterval(250);
    connect(&controllo_, &QTimer::timeout, this, &ArchivioAsincrono::aggiornaAvviso);
    thread_.avvia(scrittore_);
}

ArchivioAsincrono::~ArchivioAsincrono() { ferma(); }

template <typename F> void ArchivioAsincrono::attendi(F &&f)
{
    spedisci();
    if (attivo_) QMetaObject::invokeMethod(scrittore_, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

int ArchivioAsincrono::contaGiri(const QString &pilota)
{
    int n = 0;
    try {
        n = archivioTempi::contaGiri(letture_, pilota);
    } catch (const ErroreDatabase &e) {
        e.mostra(messaggi_); // counted from the laps still waiting, then
    }
    for (const Scrittura &s : std::as_const(attese_)) {
        if (s.tipo == Scrittura::Tipo::Azzera) n = 0; // what the file holds goes with it
        if (s.tipo == Scrittura::Tipo::Giro && s.giro.pilota == pilota) n = qMax(n, s.giro.giroN);
    }
    return n;
}

void ArchivioAsincrono::azzera(std::function<void(Database &)> svuota)
{
    Scrittura s;
    s.tipo = Scrittura::Tipo::Azzera;
    s.svuota = std::move(svuota);
    invia(s);
}

void ArchivioAsincrono::impostaCopie(CopieSicurezza *copie)
{
    if (attivo_) QMetaObject::invokeMethod(scrittore_, [w = scrittore_, copie] { w->impostaCopie(copie); }, Qt::QueuedConnection);
}

void ArchivioAsincrono::invia(Scrittura s)
{
    s.numero = ++prossimo_;
    attese_.append(s);
    inviate_.append(tempo_.elapsed());
    if (!controllo_.isActive()) controllo_.start();
    if (daSpedire_.isEmpty()) QMetaObject::invokeMethod(this, &ArchivioAsincrono::spedisci, Qt::QueuedConnection);
    daSpedire_.append(s);
}

void ArchivioAsincrono::spedisci()
{
    if (daSpedire_.isEmpty() || !attivo_) return;
    QMetaObject::invokeMethod(scrittore_, [w = scrittore_, s = std::exchange(daSpedire_, {})] { w->accoda(s); },
                              Qt::QueuedConnection);
}

void ArchivioAsincrono::impostaDettaglio(bool conDettaglio)
{
    if (attivo_)
        QMetaObject::invokeMethod(scrittore_, [w = scrittore_, conDettaglio] { w->impostaDettaglio(conDettaglio); },
                                  Qt::QueuedConnection);
}

void ArchivioAsincrono::scriviGiroVeloce(float tempo)
{
    Scrittura s;
    s.tipo = Scrittura::Tipo::GiroVeloce;
    s.tempo = tempo;
    invia(s);
}

void ArchivioAsincrono::memorizza(const GiroCompletato &giro)
{
    Scrittura s;
    s.giro = giro;
    invia(s);
}

void ArchivioAsincrono::confermate(quint64 finoA)
{
    while (!attese_.isEmpty() && attese_.first().numero <= finoA) {
        attese_.removeFirst();
        inviate_.removeFirst();
    }
    aggiornaAvviso();
}

int ArchivioAsincrono::giriInAttesa() const
{
    return int(std::count_if(attese_.begin(), attese_.end(),
                             [](const Scrittura &s) { return s.tipo == Scrittura::Tipo::Giro; }));
}

void ArchivioAsincrono::aggiornaAvviso()
{
    const bool lento = !inviate_.isEmpty() && tempo_.elapsed() - inviate_.first() >= attesaVisibileMs;
    const int n = (inErrore_ || lento) ? giriInAttesa() : 0;
    if (attese_.isEmpty()) controllo_.stop();
    if (n == mostrati_) return;
    mostrati_ = n;
    emit giriInAttesaDaMostrare(n);
}

Risultati ArchivioAsincrono::leggiRisultati()
{
    spedisci();
    if (attivo_)
        QMetaObject::invokeMethod(scrittore_, [w = scrittore_] { emit w->risultati(w->leggi()); },
                                  Qt::QueuedConnection);
    Risultati r = ultimi_;
    r.errore.clear(); // told when it came
    return r;
}

void ArchivioAsincrono::svuotaPoi(QObject *contesto, std::function<void(bool completo)> poi)
{
    spedisci();
    const quint64 fino = prossimo_;
    auto risposta = [this, libero = !contesto, guardia = QPointer<QObject>(contesto), poi = std::move(poi),
                     fino](quint64 finoA) {
        confermate(finoA);
        if (libero || guardia) poi(finoA >= fino || attese_.isEmpty());
    };
    if (!attivo_) {
        QMetaObject::invokeMethod(this, [risposta] { risposta(0); }, Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(scrittore_, [this, w = scrittore_, risposta] {
        const quint64 finoA = w->svuota();
        QMetaObject::invokeMethod(this, [risposta, finoA] { risposta(finoA); }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ArchivioAsincrono::eseguiPoi(QObject *contesto, std::function<void(Database &)> lavoro,
                                  std::function<void(bool fatto, const QString &errore)> poi, bool soloLettura)
{
    spedisci();
    auto risposta = [this, libero = !contesto, guardia = QPointer<QObject>(contesto),
                     poi = std::move(poi)](bool fatto, const QString &errore, quint64 finoA) {
        confermate(finoA);
        if (libero || guardia) poi(fatto, errore);
    };
    if (!attivo_) {
        QMetaObject::invokeMethod(this, [risposta] { risposta(false, QStringLiteral("il programma si sta chiudendo."), 0); },
                                  Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(scrittore_, [this, w = scrittore_, lavoro = std::move(lavoro), risposta, soloLettura] {
        QString errore;
        const bool fatto = w->esegui(lavoro, &errore, soloLettura);
        const quint64 finoA = w->scritto();
        QMetaObject::invokeMethod(this, [risposta, fatto, errore, finoA] { risposta(fatto, errore, finoA); },
                                  Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ArchivioAsincrono::sospendiPoi(QObject *contesto, std::function<void()> poi)
{
    spedisci();
    sospeso_ = true;
    auto risposta = [this, libero = !contesto, guardia = QPointer<QObject>(contesto), poi = std::move(poi)](quint64 finoA) {
        confermate(finoA);
        if (libero || guardia) poi();
    };
    if (!attivo_) {
        QMetaObject::invokeMethod(this, [risposta] { risposta(0); }, Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(scrittore_, [this, w = scrittore_, risposta] {
        // What does not go in now goes into the next file.
        const quint64 finoA = w->chiudi(ScrittoreGiri::attesaRiprovaMs);
        QMetaObject::invokeMethod(this, [risposta, finoA] { risposta(finoA); }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
}

void ArchivioAsincrono::riprendiPoi()
{
    spedisci();
    sospeso_ = false;
    if (attivo_) QMetaObject::invokeMethod(scrittore_, [w = scrittore_] { w->apri(nullptr); }, Qt::QueuedConnection);
}

// The writer found another file, or other lap numbers, under the name: the laps
// not yet committed follow the file's numbers, and so do the lanes.
void ArchivioAsincrono::riallinea(const QHash<QString, int> &massimi, const QString &avviso)
{
    spedisci();
    try {
        if (!avviso.isEmpty() && letture_.aperto() && letture_.percorso() == percorso_)
            letture_.apri(percorso_, QString::fromUtf8(identita::password));
    } catch (const ErroreDatabase &) {
        // This connection only reads; the writer's own is the one that matters.
    }
    QHash<QString, int> ultimi = massimi;
    for (Scrittura &s : attese_) {
        if (s.tipo == Scrittura::Tipo::Azzera) ultimi.clear(); // the laps after a reset start again from 1
        if (s.tipo == Scrittura::Tipo::Giro) s.giro.giroN = ++ultimi[s.giro.pilota];
    }
    emit giriRiallineati(ultimi);
    if (attivo_)
        QMetaObject::invokeMethod(scrittore_, [w = scrittore_, coda = QVector<Scrittura>(attese_.begin(), attese_.end())] {
            w->rinumera(coda);
        }, Qt::QueuedConnection);
    if (!avviso.isEmpty()) messaggi_.avvisa(avviso, Messaggi::Icona::Esclamazione);
}

bool ArchivioAsincrono::svuota()
{
    spedisci();
    if (attese_.isEmpty()) return true; // nothing to wait for
    quint64 finoA = 0;
    attendi([&] { finoA = scrittore_->svuota(); });
    confermate(finoA);
    return attese_.isEmpty();
}

bool ArchivioAsincrono::esegui(const std::function<void(Database &)> &lavoro, QString *errore)
{
    bool fatto = false;
    quint64 finoA = 0;
    attendi([&] {
        fatto = scrittore_->esegui(lavoro, errore);
        finoA = scrittore_->scritto();
    });
    confermate(finoA);
    return fatto;
}

void ArchivioAsincrono::sospendi()
{
    sospeso_ = true;
    quint64 finoA = 0;
    attendi([&] { finoA = scrittore_->chiudi(ScrittoreGiri::attesaRiprovaMs); }); // what does not go in now goes into the next file
    confermate(finoA);
}

bool ArchivioAsincrono::riprendi(QString *errore)
{
    sospeso_ = false;
    bool aperto = false;
    quint64 finoA = 0;
    attendi([&] {
        aperto = scrittore_->apri(errore);
        finoA = scrittore_->scritto();
    });
    confermate(finoA);
    return aperto;
}

QString ArchivioAsincrono::fileGiriInAttesa() const
{
    if (fileTesto_.isEmpty()) fileTesto_ = giriDiTesto::riservaNome(percorso_);
    return fileTesto_;
}

QString ArchivioAsincrono::ferma(int attesaMs)
{
    if (!attivo_) return {};
    quint64 finoA = 0;
    attendi([&] { finoA = scrittore_->chiudi(attesaMs); });
    confermate(finoA);
    attivo_ = false;
    thread_.ferma();
    controllo_.stop();
    if (attese_.isEmpty()) return {};
    // The last resort: nothing the session timed is ever dropped in silence.
    QStringList righe;
    for (const Scrittura &s : std::as_const(attese_)) {
        if (s.tipo == Scrittura::Tipo::GiroVeloce)
            righe << QStringLiteral("# giro più veloce della sessione: %1").arg(double(s.tempo), 0, 'g', 9);
        else if (s.tipo == Scrittura::Tipo::Azzera)
            righe << QStringLiteral("# Canc.Database: i tempi del database, fino a qui, andavano cancellati; "
                                    "il database non lo è stato");
        else
            righe << giriDiTesto::riga(s.giro);
    }
    return giriDiTesto::scrivi(fileGiriInAttesa(),
                               QStringLiteral("Giri non salvati nel database %1").arg(QDir::toNativeSeparators(percorso_)),
                               righe);
}

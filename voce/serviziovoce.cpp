#include "voce/serviziovoce.h"

#include "comune/messaggi.h"
#include "comune/impostazioni.h"

ServizioVoce::ServizioVoce(Impostazioni &store, Messaggi &messaggi, Orologio &orologio,
                           Annunci::FabbricaVoce voce, ToniSulGiro::Fabbrica toni, QObject *parent)
    : QObject(parent), store_(store), impostazioni_(ImpostazioniVoce::leggi(store)),
      annunci_(new Annunci(orologio, std::move(voce))), toni_(new ToniSulGiro(std::move(toni)))
{
    const auto avvisa = [&messaggi](const QString &testo) { messaggi.avvisa(testo, Messaggi::Icona::Esclamazione); };
    connect(annunci_, &Annunci::problema, this, avvisa);
    connect(toni_, &ToniSulGiro::problema, this, avvisa);
    connect(annunci_, &Annunci::stato, this, [this](const QString &problema, const QStringList &voci) {
        voceNota_ = true;
        problemaVoce_ = problema;
        voci_ = voci;
        emit statoCambiato();
    });
    connect(toni_, &ToniSulGiro::stato, this, [this](const QString &problema) {
        toniNoti_ = true;
        problemaToni_ = problema;
        emit statoCambiato();
    });
    thread_.avvia(annunci_);
    threadToni_.avvia(toni_);
    imposta(impostazioni_);
}

ServizioVoce::~ServizioVoce()
{
    thread_.ferma();
    threadToni_.ferma();
}

void ServizioVoce::segui(Sessione *sessione)
{
    annunci_->segui(sessione);
    toni_->segui(sessione);
}

void ServizioVoce::imposta(const ImpostazioniVoce &impostazioni)
{
    impostazioni_ = impostazioni;
    for (QObject *o : {static_cast<QObject *>(annunci_), static_cast<QObject *>(toni_)})
        QMetaObject::invokeMethod(o, "applica", Qt::QueuedConnection, Q_ARG(ImpostazioniVoce, impostazioni));
}

void ServizioVoce::salva() { impostazioni_.scrivi(store_); }

void ServizioVoce::prova(const ImpostazioniVoce &impostazioni)
{
    QMetaObject::invokeMethod(annunci_, "prova", Qt::QueuedConnection, Q_ARG(ImpostazioniVoce, impostazioni));
}

void ServizioVoce::annunciaGara(const QString &testo, int corsia, double istante)
{
    QMetaObject::invokeMethod(annunci_, [a = annunci_, testo, corsia, istante] { a->gara(testo, corsia, istante); },
                              Qt::QueuedConnection);
}

void ServizioVoce::tonoGara(Tono tono)
{
    QMetaObject::invokeMethod(toni_, [t = toni_, tono] { t->gara(tono); }, Qt::QueuedConnection);
}

void ServizioVoce::prepara()
{
    QMetaObject::invokeMethod(annunci_, "prepara", Qt::QueuedConnection);
    QMetaObject::invokeMethod(toni_, "prepara", Qt::QueuedConnection);
}

#include "voce/serviziovoce.h"

#include "comune/messaggi.h"
#include "serial/impostazioniporta.h"

ServizioVoce::ServizioVoce(ImpostazioniPorta &store, Messaggi &messaggi, Orologio &orologio,
                           Annunci::FabbricaVoce voce, ToniSulGiro::Fabbrica toni, QObject *parent)
    : QObject(parent), store_(store), impostazioni_(ImpostazioniVoce::leggi(store)),
      annunci_(new Annunci(orologio, std::move(voce))), toni_(new ToniSulGiro(std::move(toni)))
{
    thread_.setObjectName(QStringLiteral("voce"));
    threadToni_.setObjectName(QStringLiteral("toni"));
    annunci_->moveToThread(&thread_);
    toni_->moveToThread(&threadToni_);
    connect(&thread_, &QThread::finished, annunci_, &QObject::deleteLater);
    connect(&threadToni_, &QThread::finished, toni_, &QObject::deleteLater);
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
    thread_.start();
    threadToni_.start();
    imposta(impostazioni_);
}

ServizioVoce::~ServizioVoce()
{
    for (QThread *t : {&thread_, &threadToni_}) t->quit();
    for (QThread *t : {&thread_, &threadToni_}) t->wait();
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

void ServizioVoce::prepara()
{
    QMetaObject::invokeMethod(annunci_, "prepara", Qt::QueuedConnection);
    QMetaObject::invokeMethod(toni_, "prepara", Qt::QueuedConnection);
}

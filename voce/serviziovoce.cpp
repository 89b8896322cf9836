#include "voce/serviziovoce.h"

#include "comune/messaggi.h"
#include "comune/impostazioni.h"

ServizioVoce::ServizioVoce(Impostazioni &store, Messaggi &messaggi, Orologio &orologio,
                           Annunci::FabbricaVoce voce, Annunci::FabbricaToni toni, QObject *parent)
    : QObject(parent), store_(store), impostazioni_(ImpostazioniVoce::leggi(store)),
      annunci_(new Annunci(orologio, std::move(voce), std::move(toni)))
{
    connect(annunci_, &Annunci::problema, this, [&messaggi](const QString &testo) {
        messaggi.avvisa(testo, Messaggi::Icona::Esclamazione);
    });
    connect(annunci_, &Annunci::stato, this, [this](const QString &voce, const QString &toni, const QStringList &voci) {
        statoNoto_ = true;
        problemaVoce_ = voce;
        problemaToni_ = toni;
        voci_ = voci;
        emit statoCambiato();
    });
    thread_.avvia(annunci_);
    imposta(impostazioni_);
}

ServizioVoce::~ServizioVoce()
{
    thread_.ferma();
}

void ServizioVoce::imposta(const ImpostazioniVoce &impostazioni)
{
    impostazioni_ = impostazioni;
    QMetaObject::invokeMethod(annunci_, "applica", Qt::QueuedConnection, Q_ARG(ImpostazioniVoce, impostazioni));
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
    QMetaObject::invokeMethod(annunci_, [a = annunci_, tono] { a->tonoGara(tono); }, Qt::QueuedConnection);
}

void ServizioVoce::prepara()
{
    QMetaObject::invokeMethod(annunci_, "prepara", Qt::QueuedConnection);
}

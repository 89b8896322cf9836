#include "timing/ingressoseriale.h"

#include "serial/impostazioniporta.h"
#include "serial/portaseriale.h"
#include "comune/messaggi.h"
#include "timing/rilevago.h"
#include "timing/sessione.h"

#include <QLabel>
#include <QLineEdit>

void VistaLineeRilevaGo::mostraConnesso(int k, bool visibile) { finestra_.connesso(k)->setVisible(visibile); }
void VistaLineeRilevaGo::mostraNonconnesso(int k, bool visibile) { finestra_.nonconnesso(k)->setVisible(visibile); }
void VistaLineeRilevaGo::abilitaText2(bool abilitato) { finestra_.text2()->setEnabled(abilitato); }
void VistaLineeRilevaGo::scriviText2(const QString &testo) { finestra_.text2()->setText(testo); }

IngressoSeriale::IngressoSeriale(PortaSeriale &porta, Sessione &sessione, Messaggi &messaggi,
                                 ImpostazioniPorta &store, VistaLinee &vista, QObject *parent)
    : QObject(parent), porta_(porta), sessione_(sessione), messaggi_(messaggi), store_(store), vista_(vista)
{
    timer2_.setInterval(100);
    connect(&timer2_, &QTimer::timeout, this, [this] { uscita(32); });
    connect(&porta_, &PortaSeriale::onComm, this, &IngressoSeriale::MSComm1_OnComm);
    // The poll follows the port: a device is never left unpolled because of the
    // order in which the port was opened (the dialog may close and reopen it).
    connect(&porta_, &PortaSeriale::apertaCambiata, this, &IngressoSeriale::Gestisci);
    // Laps would go unrecorded without a word: the operator is told at once.
    connect(&porta_, &PortaSeriale::lineaPersa, this, &IngressoSeriale::avvisa);
}

void IngressoSeriale::avvisa(const QString &descrizione)
{
    messaggi_.mostra(descrizione, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
}

void IngressoSeriale::Form_Load()
{
    const QString sezione = QString::fromUtf8(chiaviPorta::sezione);
    const QString settings = store_.leggi(sezione, QString::fromUtf8(chiaviPorta::settings));
    if (!settings.isEmpty() && !porta_.setSettings(settings)) {
        avvisa(porta_.descrizioneErrore());
        return; // no serial input for this window
    }
    const QString commPort = store_.leggi(sezione, QString::fromUtf8(chiaviPorta::commPort));
    if (!commPort.isEmpty()) {
        bool numero = false;
        const qint16 n = commPort.trimmed().toShort(&numero);
        // A hand-edited store must not end the program: tell and go on without the device.
        if (!numero) {
            avvisa(QStringLiteral("Numero di porta memorizzato non valido: \"%1\". "
                                  "La porta seriale non viene aperta.")
                       .arg(commPort));
            return;
        }
        if (!porta_.setCommPort(n)) {
            avvisa(porta_.descrizioneErrore());
            return;
        }
    }
    apriPorta();
    bufferSeriale_.clear();
}

void IngressoSeriale::apriPorta()
{
    if (!porta_.setPortOpen(!porta_.portOpen())) avvisa(porta_.descrizioneErrore());
    Gestisci(porta_.portOpen());
    porta_.setPortOpen(true); // a second try; its refusal is not shown
}

void IngressoSeriale::Gestisci(bool cond)
{
    if (cond) {
        if (!timer2_.isActive()) timer2_.start();
    } else {
        timer2_.stop();
    }
}

void IngressoSeriale::uscita(qint16 a)
{
    if (porta_.portOpen()) porta_.output(QString(QChar(ushort(a))));
}

void IngressoSeriale::MSComm1_OnComm()
{
    bufferSeriale_ = porta_.input();
    if (bufferSeriale_.isEmpty()) return;
    // One reply at a time: further bytes of the same read are dropped.
    byteSeriale_ = qint16(bufferSeriale_.at(0).unicode());
    Binario(byteSeriale_);
}

void IngressoSeriale::Binario(qint16 Decim)
{
    vista_.abilitaText2(false);
    QString s = Decim < 0 ? QStringLiteral("1") : QStringLiteral("0");
    for (int k = 7; k >= 0; --k) {
        if (Decim & (1 << k)) {
            s += u'1';
            vista_.mostraConnesso(k, false);
            vista_.mostraNonconnesso(k, true);
        } else {
            s += u'0';
            vista_.mostraConnesso(k, true); // drawn over nonconnesso, which keeps its state
            if (sessione_.corsia(k).btnAbilitato) sessione_.marca(k);
        }
    }
    vista_.scriviText2(s);
}

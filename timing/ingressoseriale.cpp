#include "timing/ingressoseriale.h"

#include "comune/impostazioni.h"
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
                                 Impostazioni &store, VistaLinee &vista, QObject *parent)
    : QObject(parent), porta_(porta), sessione_(sessione), messaggi_(messaggi), store_(store), vista_(vista)
{
    // Laps would go unrecorded without a word: the operator is told at once, in a
    // notice that leaves the lane keys and buttons working.
    connect(&porta_, &PortaSeriale::lineaPersa, this,
            [this](const QString &descrizione) { messaggi_.avvisa(descrizione, Messaggi::Icona::Esclamazione); });
    // A device that is gone holds no line: its last reply must not stay lit.
    connect(&porta_, &PortaSeriale::apertaCambiata, this, [this](bool aperta) {
        if (!aperta) mostraRiposo();
    });
}

void IngressoSeriale::mostraRiposo()
{
    for (int k = 0; k < 8; ++k) {
        vista_.mostraConnesso(k, false);
        vista_.mostraNonconnesso(k, true);
    }
}

void IngressoSeriale::avvisa(const QString &descrizione)
{
    messaggi_.mostra(descrizione, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
}

void IngressoSeriale::Form_Load()
{
    const QString sezione = QString::fromUtf8(chiaviPorta::sezione);
    const QString settings = store_.testo(sezione, QString::fromUtf8(chiaviPorta::settings));
    if (!settings.isEmpty() && !porta_.setSettings(settings)) {
        avvisa(porta_.descrizioneErrore());
        return; // no serial input for this window
    }
    const QString commPort = store_.testo(sezione, QString::fromUtf8(chiaviPorta::commPort));
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
}

void IngressoSeriale::apriPorta()
{
    // The poll starts by itself with the port (InterrogatoreSeriale::Gestisci).
    if (!porta_.setPortOpen(!porta_.portOpen())) avvisa(porta_.descrizioneErrore());
    porta_.setPortOpen(true); // a second try; its refusal is not shown
}

void IngressoSeriale::Binario(qint16 Decim, double istante) { decodifica(Decim, istante, true); }

// The device reports crossings itself: its line states are only shown.
void IngressoSeriale::lineeEstese(quint8 stato) { decodifica(qint16(stato), 0, false); }

void IngressoSeriale::passaggioStampato(int corsia, double istante)
{
    if (corsia >= 0 && corsia < Sessione::numCorsie && sessione_.corsia(corsia).btnAbilitato)
        sessione_.marca(corsia, istante, true);
}

void IngressoSeriale::avvisoDispositivo(const QString &chiave, const QString &testo, bool informazione)
{
    messaggi_.sostituisciAvviso(chiave, testo, informazione ? Messaggi::Icona::Informazione : Messaggi::Icona::Esclamazione);
}

void IngressoSeriale::decodifica(qint16 Decim, double istante, bool segna)
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
            // Every line of one reply is marked at the one instant the reply arrived.
            if (segna && sessione_.corsia(k).btnAbilitato) sessione_.marca(k, istante);
        }
    }
    vista_.scriviText2(s);
}

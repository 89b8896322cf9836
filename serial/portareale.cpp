#include "serial/portareale.h"
#include "comune/impostazioni.h"

#include <QStringList>

QString dispositivoPorta(int numero, const Impostazioni &store)
{
    if (lineaSistema::porteConfigurabili()) {
        const QString scritto =
            store.testo(QString::fromUtf8(chiaviPorta::sezionePorte), QStringLiteral("Com%1").arg(numero)).trimmed();
        if (!scritto.isEmpty()) return scritto;
    }
    return lineaSistema::dispositivo(numero);
}

PortaReale::PortaReale(Impostazioni &store, LineaCom *linea, QObject *parent)
    : PortaSeriale(parent), store_(store), linea_(linea ? linea : lineaSistema::crea(this))
{
    // A child, so moving the port to another thread moves its line along.
    linea_->setParent(this);
    connect(linea_, &LineaCom::arrivati, this, &PortaSeriale::onComm);
    connect(linea_, &LineaCom::persa, this, &PortaReale::persa);
}

PortaReale::~PortaReale() { linea_->chiudi(); }

QString PortaReale::dispositivo() const { return dispositivoPorta(commPort_, store_); }

ParametriLinea PortaReale::parametri(const ImpostazioniSerie &imp, int flusso)
{
    ParametriLinea p;
    p.velocita = imp.velocita;
    p.datiBit = imp.datiBit;
    p.parita = imp.parita == u'e'   ? ParametriLinea::Parita::Pari
               : imp.parita == u'o' ? ParametriLinea::Parita::Dispari
               : imp.parita == u'm' ? ParametriLinea::Parita::Mark
               : imp.parita == u's' ? ParametriLinea::Parita::Space
                                    : ParametriLinea::Parita::Nessuna;
    p.stop = imp.stopBit == u"2"     ? ParametriLinea::Stop::Due
             : imp.stopBit == u"1.5" ? ParametriLinea::Stop::UnoEMezzo
                                     : ParametriLinea::Stop::Uno;
    // 1 XON/XOFF, 2 RTS/CTS, 3 both.
    p.xonXoff = flusso == 1 || flusso == 3;
    p.rtsCts = flusso >= 2;
    return p;
}

bool PortaReale::cambia(const ImpostazioniSerie &imp, int flusso)
{
    if (imp.stopBit == u"1.5" && !lineaSistema::stopUnoEMezzo())
        return rifiuta(QStringLiteral("1,5 bit di stop non sono supportati dalle porte seriali di questo sistema."));
    if (portOpen() && !applica(imp, flusso)) {
        const QString motivo = descrizioneErrore();
        applica(impostazioni_, handshaking_);
        return rifiuta(motivo);
    }
    impostazioni_ = imp;
    handshaking_ = flusso;
    return riuscito();
}

bool PortaReale::setSettings(const QString &valore)
{
    ImpostazioniSerie nuove;
    QString errore;
    if (!analizzaSettings(valore, nuove, errore)) return rifiuta(errore);
    if (nuove.datiBit == 4)
        return rifiuta(QStringLiteral("4 bit di dati non sono supportati dalle porte seriali di questo sistema."));
    return cambia(nuove, handshaking_);
}

bool PortaReale::setCommPort(qint16 numero)
{
    if (portOpen())
        return rifiuta(QStringLiteral("Impossibile cambiare il numero della porta mentre %1 è aperta.").arg(nome()));
    if (numero < 1 || numero > 255)
        return rifiuta(QStringLiteral("Numero di porta non valido: %1 (ammessi da 1 a 255).").arg(numero));
    commPort_ = numero;
    return riuscito();
}

bool PortaReale::setHandshaking(int codice)
{
    if (codice < 0 || codice > 3)
        return rifiuta(QStringLiteral("Controllo di flusso non valido: %1 (ammessi da 0 a 3).").arg(codice));
    return cambia(impostazioni_, codice);
}

QString PortaReale::testoApertura(LineaCom::Apertura esito, const QString &dispositivo) const
{
    const QString porta = QStringLiteral("%1 (%2)").arg(nome(), dispositivo);
    switch (esito) {
    case LineaCom::Apertura::NonEsiste:
        if (!lineaSistema::porteConfigurabili()) return QStringLiteral("La porta %1 non esiste.").arg(porta);
        return QStringLiteral("La porta %1 non esiste. Per usare un altro dispositivo scrivere "
                              "%2=/dev/ttyUSB0 (o il percorso voluto) nella sezione [Porte] di %3.")
            .arg(porta, nome(), store_.percorso());
    case LineaCom::Apertura::AccessoNegato:
        return QStringLiteral("Accesso negato alla porta %1: l'utente deve far parte del gruppo "
                              "dialout (sudo usermod -aG dialout $USER, poi rientrare nella sessione).")
            .arg(porta);
    case LineaCom::Apertura::InUso:
        return QStringLiteral("La porta %1 è già in uso da un altro programma.").arg(porta);
    case LineaCom::Apertura::GiaAperta:
        return QStringLiteral("La porta %1 è già aperta.").arg(porta);
    case LineaCom::Apertura::NonSeriale:
        return QStringLiteral("%1 non è una porta seriale (%2).").arg(porta, linea_->motivo());
    case LineaCom::Apertura::Fatta:
    case LineaCom::Apertura::Altro:
        break;
    }
    return QStringLiteral("Impossibile aprire la porta %1: %2").arg(porta, linea_->motivo());
}

bool PortaReale::setPortOpen(bool aperta)
{
    if (!aperta) {
        if (linea_->aperta()) {
            linea_->chiudi();
            emit apertaCambiata(false);
        }
        return riuscito();
    }
    if (linea_->aperta()) return rifiuta(QStringLiteral("La porta %1 è già aperta.").arg(nome()));

    const QString percorso = dispositivo();
    if (const LineaCom::Apertura esito = linea_->apri(percorso); esito != LineaCom::Apertura::Fatta)
        return rifiuta(testoApertura(esito, percorso));
    if (!applica(impostazioni_, handshaking_)) {
        const QString motivo = descrizioneErrore();
        linea_->chiudi();
        return rifiuta(QStringLiteral("Porta %1 (%2) non aperta: impostazioni %3 non applicabili. %4")
                           .arg(nome(), percorso, impostazioni_.testo(), motivo));
    }
    emit apertaCambiata(true);
    return riuscito();
}

bool PortaReale::applica(const ImpostazioniSerie &imp, int flusso)
{
    const LineaCom::Esito esito = linea_->applica(parametri(imp, flusso));
    const auto parola = [&](LineaCom::Parametro p) {
        switch (p) {
        case LineaCom::Parametro::Velocita: return QStringLiteral("la velocità %1").arg(imp.velocita);
        case LineaCom::Parametro::DatiBit: return QStringLiteral("%1 bit di dati").arg(imp.datiBit);
        case LineaCom::Parametro::Parita: return QStringLiteral("la parità \"%1\"").arg(imp.parita);
        case LineaCom::Parametro::Stop: return QStringLiteral("%1 bit di stop").arg(imp.stopBit);
        case LineaCom::Parametro::Flusso: return QStringLiteral("il controllo di flusso %1").arg(flusso);
        case LineaCom::Parametro::Tutti:
        case LineaCom::Parametro::Nessuno: break;
        }
        return QStringLiteral("le impostazioni %1").arg(imp.testo());
    };
    if (esito.rifiutato != LineaCom::Parametro::Nessuno)
        return rifiuta(QStringLiteral("La porta %1 non accetta %2 (%3).")
                           .arg(nome(), parola(esito.rifiutato), linea_->motivo()));
    if (!esito.ignorati.isEmpty()) {
        QStringList ignorati;
        for (LineaCom::Parametro p : esito.ignorati) ignorati << parola(p);
        return rifiuta(QStringLiteral("Il dispositivo %1 non applica %2.").arg(dispositivo(), ignorati.join(QStringLiteral(", "))));
    }
    return riuscito();
}

bool PortaReale::output(const QString &testo)
{
    if (!linea_->aperta()) return rifiuta(QStringLiteral("La porta %1 è chiusa.").arg(nome()));
    if (!linea_->scrivi(testo.toLatin1()))
        return rifiuta(QStringLiteral("Scrittura sulla porta %1 non riuscita: %2").arg(nome(), linea_->motivo()));
    return riuscito();
}

QString PortaReale::input() { return QString::fromLatin1(linea_->leggi()); }

// The device went away (adapter pulled out, other end closed): the line is closed already.
void PortaReale::persa(const QString &motivo)
{
    const QString descrizione = QStringLiteral("La porta %1 non è più disponibile (%2): "
                                               "il dispositivo di cronometraggio è scollegato.")
                                    .arg(nome(), motivo);
    rifiuta(descrizione);
    emit apertaCambiata(false);
    emit lineaPersa(descrizione);
}

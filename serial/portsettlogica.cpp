#include "serial/portsettlogica.h"
#include "comune/impostazioni.h"
#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"
#include "comune/messaggi.h"

PortSettLogica::PortSettLogica(PortaSeriale &porta, Impostazioni &store, Messaggi &messaggi)
    : porta_(porta), store_(store), messaggi_(messaggi)
{
}

QStringList PortSettLogica::vociPorta()
{
    QStringList voci;
    for (int n = 1; n <= 16; ++n) voci << QStringLiteral("Com%1").arg(n);
    return voci;
}

QStringList PortSettLogica::vociVelocita()
{
    return {QStringLiteral("110"),   QStringLiteral("300"),    QStringLiteral("600"),    QStringLiteral("1200"),
            QStringLiteral("2400"),  QStringLiteral("4800"),   QStringLiteral("9600"),   QStringLiteral("14400"),
            QStringLiteral("19200"), QStringLiteral("28800"),  QStringLiteral("38400"),  QStringLiteral("56000"),
            QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("128000"), QStringLiteral("256000")};
}

QStringList PortSettLogica::vociDatiBit()
{
    return {QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")};
}

QStringList PortSettLogica::vociParita()
{
    return {QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("Nessuna"), QStringLiteral("Mark"),
            QStringLiteral("Space")};
}

QStringList PortSettLogica::vociStopBit() { return {QStringLiteral("1"), QStringLiteral("1,5"), QStringLiteral("2")}; }

QStringList PortSettLogica::vociFlusso()
{
    return {QStringLiteral("Nessuno"), QStringLiteral("Xon/Xoff"), QStringLiteral("RTS"), QStringLiteral("Xon/RTS")};
}

PortSettLogica::Scelte PortSettLogica::LoadPropertySettings()
{
    Scelte s;
    const CampiSettings campi = dividiSettings(porta_.settings());
    s.velocita = int(vociVelocita().indexOf(campi.velocita));
    // The parity letter is compared as the port gives it: lower case.
    static const QString iniziali = QStringLiteral("eonms");
    s.parita = campi.parita.size() == 1 ? int(iniziali.indexOf(campi.parita[0])) : -1;
    s.datiBit = int(vociDatiBit().indexOf(campi.datiBit));
    s.stopBit = campi.stopBit == u"1" ? 0 : campi.stopBit == u"1.5" ? 1 : campi.stopBit == u"2" ? 2 : -1;
    const int porta = porta_.commPort();
    s.porta = porta >= 1 && porta <= 16 ? porta - 1 : -1;
    const int flusso = porta_.handshaking();
    if (flusso >= 0 && flusso <= 3) {
        s.flusso = flusso;
        optFlow_Click(flusso);
    }
    return s;
}

bool PortSettLogica::fallito(const QString &descrizione)
{
    messaggi_.mostra(descrizione, Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
    return false;
}

bool PortSettLogica::cmdOK_Click(const Scelte &scelte)
{
    const auto voce = [](const QStringList &voci, int indice) {
        return indice >= 0 && indice < voci.size() ? voci[indice].trimmed() : QString();
    };

    // 1-2: the port number, reopening the port on the new number if it was open.
    const qint16 vecchia = porta_.commPort();
    const qint16 nuova = qint16(scelte.porta + 1);
    if (nuova != vecchia) {
        // Every step is tried; the last refusal is the one reported.
        QString errore;
        const auto passo = [&](bool riuscito) {
            if (!riuscito) errore = porta_.descrizioneErrore();
        };
        const bool riaprire = porta_.portOpen();
        if (riaprire) passo(porta_.setPortOpen(false));
        passo(porta_.setCommPort(nuova));
        if (errore.isEmpty() && riaprire) passo(porta_.setPortOpen(true));
        if (!errore.isEmpty()) {
            fallito(errore);
            porta_.setCommPort(vecchia);
            return false;
        }
    }

    // 3-4: the settings string, "1,5" written with a point.
    QString stop = voce(vociStopBit(), scelte.stopBit);
    if (stop == u"1,5") stop = QStringLiteral("1.5");
    const QString settings = voce(vociVelocita(), scelte.velocita) + u',' + voce(vociParita(), scelte.parita).left(1)
                             + u',' + voce(vociDatiBit(), scelte.datiBit) + u',' + stop;
    if (!porta_.setSettings(settings)) return fallito(porta_.descrizioneErrore());

    // 5: flow control as last clicked.
    if (!porta_.setHandshaking(selectedFlow_)) return fallito(porta_.descrizioneErrore());

    // 6: what the port now uses, as it reads it back.
    const QString sezione = QString::fromUtf8(chiaviPorta::sezione);
    store_.scrivi(sezione, QString::fromUtf8(chiaviPorta::settings), porta_.settings());
    store_.scrivi(sezione, QString::fromUtf8(chiaviPorta::commPort), QString::number(porta_.commPort()));
    store_.scrivi(sezione, QString::fromUtf8(chiaviPorta::handshaking), QString::number(porta_.handshaking()));
    return true;
}

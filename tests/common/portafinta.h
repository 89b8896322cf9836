#pragma once
#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"

#include <QSet>
#include <QStringList>

// A port that takes every well-formed setting a real adapter would (even parity,
// 7 data bits, 1.5 stop bits) but 4 data bits, as no platform does; it logs what
// was done to it and refuses what the test tells it to.
class PortaFinta : public PortaSeriale {
    Q_OBJECT
public:
    QStringList registro;     // "apri", "chiudi", "commPort 2", "settings 9600,N,8,1", "handshaking 1"
    QSet<int> porteMancanti;  // port numbers that do not open
    bool rifiutaFlusso = false;
    QString testo = QStringLiteral("9600,n,8,1"); // what settings() reads back
    qint16 numero = 1;
    int flusso = 0;
    bool aperta = false;

    QString settings() const override { return testo; }
    bool setSettings(const QString &valore) override
    {
        registro << QStringLiteral("settings ") + valore;
        ImpostazioniSerie nuove;
        QString errore;
        if (!analizzaSettings(valore, nuove, errore)) return rifiuta(errore);
        if (nuove.datiBit == 4) return rifiuta(QStringLiteral("4 bit di dati non supportati"));
        testo = nuove.testo();
        return riuscito();
    }
    qint16 commPort() const override { return numero; }
    bool setCommPort(qint16 n) override
    {
        registro << QStringLiteral("commPort %1").arg(n);
        if (aperta || n < 1) return rifiuta(QStringLiteral("Porta aperta o numero non valido"));
        numero = n;
        return riuscito();
    }
    int handshaking() const override { return flusso; }
    bool setHandshaking(int codice) override
    {
        registro << QStringLiteral("handshaking %1").arg(codice);
        if (rifiutaFlusso) return rifiuta(QStringLiteral("Flusso rifiutato"));
        flusso = codice;
        return riuscito();
    }
    bool portOpen() const override { return aperta; }
    bool setPortOpen(bool a) override
    {
        registro << (a ? QStringLiteral("apri") : QStringLiteral("chiudi"));
        if (a && porteMancanti.contains(numero)) return rifiuta(QStringLiteral("La porta Com%1 non esiste.").arg(numero));
        aperta = a;
        return riuscito();
    }
    bool output(const QString &) override { return aperta; }
    QString input() override { return {}; }
};

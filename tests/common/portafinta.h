#pragma once
#include "serial/impostazioniserie.h"
#include "serial/portaseriale.h"

#include <QSet>
#include <QStringList>
#include <optional>
#include <utility>

// A port that takes every well-formed setting, as a real adapter would (even
// parity, 7 data bits, 1.5 stop bits), keeps a log of what was done to it and
// refuses what the test tells it to.
class PortaFinta : public PortaSeriale {
    Q_OBJECT
public:
    QStringList registro;          // "apri", "chiudi", "commPort 2", "settings 9600,N,8,1", ...
    QSet<int> porteMancanti;       // port numbers that do not open
    QSet<QString> settingsRifiutati; // exact texts refused
    bool rifiutaHandshaking = false;
    QString uscite;                // everything written
    QString inArrivo;              // what the next input() returns

    std::optional<QString> settingsForzati; // when set, what settings() reads back whatever was written

    QString settings() const override { return settingsForzati.value_or(imp_.testo()); }
    bool setSettings(const QString &valore) override
    {
        registro << QStringLiteral("settings ") + valore;
        ImpostazioniSerie nuove;
        QString errore;
        if (settingsRifiutati.contains(valore)) return rifiuta(QStringLiteral("Impostazioni rifiutate: ") + valore);
        if (!analizzaSettings(valore, nuove, errore)) return rifiuta(errore);
        imp_ = nuove;
        return riuscito();
    }
    qint16 commPort() const override { return porta_; }
    bool setCommPort(qint16 numero) override
    {
        registro << QStringLiteral("commPort %1").arg(numero);
        if (aperta_) return rifiuta(QStringLiteral("Porta aperta"));
        if (numero < 1) return rifiuta(QStringLiteral("Numero di porta non valido: %1").arg(numero));
        porta_ = numero;
        return riuscito();
    }
    int handshaking() const override { return flusso_; }
    bool setHandshaking(int codice) override
    {
        registro << QStringLiteral("handshaking %1").arg(codice);
        if (rifiutaHandshaking || codice < 0 || codice > 3) return rifiuta(QStringLiteral("Flusso rifiutato"));
        flusso_ = codice;
        return riuscito();
    }
    bool portOpen() const override { return aperta_; }
    bool setPortOpen(bool aperta) override
    {
        registro << (aperta ? QStringLiteral("apri") : QStringLiteral("chiudi"));
        if (aperta && aperta_) return rifiuta(QStringLiteral("Porta già aperta"));
        if (aperta && porteMancanti.contains(porta_))
            return rifiuta(QStringLiteral("La porta Com%1 non esiste.").arg(porta_));
        if (aperta != aperta_) {
            aperta_ = aperta;
            emit apertaCambiata(aperta);
        }
        return riuscito();
    }
    bool output(const QString &testo) override
    {
        if (!aperta_) return rifiuta(QStringLiteral("Porta chiusa"));
        uscite += testo;
        return riuscito();
    }
    QString input() override { return std::exchange(inArrivo, QString()); }

    // Puts the port in a given state without logging it.
    void prepara(const QString &settings, qint16 numero, int flusso, bool aperta)
    {
        analizzaSettings(settings, imp_, errore_);
        porta_ = numero;
        flusso_ = flusso;
        aperta_ = aperta;
    }

private:
    ImpostazioniSerie imp_;
    qint16 porta_ = 1;
    int flusso_ = 0;
    bool aperta_ = false;
    QString errore_;
};

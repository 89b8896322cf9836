#pragma once
#include <QString>

// The line parameters in the text form speed,parity,data bits,stop bits
// ("9600,n,8,1") that the port, the dialog and the per-user store share.
struct ImpostazioniSerie {
    qint32 velocita = 9600;
    QChar parita = u'n';            // e o n m s, always lower case here
    int datiBit = 8;                // 5 to 8 (4 is parsed but no platform takes it)
    QString stopBit = QStringLiteral("1"); // "1", "1.5" or "2"

    // Canonical text: parity as a lower-case letter ("19200,o,8,1.5").
    QString testo() const;
    bool operator==(const ImpostazioniSerie &) const = default;
};

// Reads a settings text; on failure returns false and fills `errore` with an
// Italian description of the field at fault. Letters of any case are taken.
bool analizzaSettings(const QString &testo, ImpostazioniSerie &risultato, QString &errore);

// The four fields of a settings text cut by position, counted from its end:
// a "." anywhere means a stop-bits field two characters longer ("1.5").
struct CampiSettings {
    QString velocita;
    QString parita;
    QString datiBit;
    QString stopBit;
};
CampiSettings dividiSettings(const QString &testo);

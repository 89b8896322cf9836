#pragma once
#include <QStringList>

class PortaSeriale;
class Impostazioni;
class Messaggi;

// What the port settings dialog does, without its widgets: the list contents,
// the preselection from the port's current values, and OK.
class PortSettLogica {
public:
    // The dialog's lists in their order; -1 is a list without a selection.
    struct Scelte {
        int porta = -1;
        int velocita = -1;
        int datiBit = -1;
        int parita = -1;
        int stopBit = -1;
        int flusso = -1; // the option button shown as set
    };

    PortSettLogica(PortaSeriale &porta, Impostazioni &store, Messaggi &messaggi);

    static QStringList vociPorta();
    static QStringList vociVelocita();
    static QStringList vociDatiBit();
    static QStringList vociParita();
    static QStringList vociStopBit();
    static QStringList vociFlusso();

    // Reads the port's current values into selections; the flow option is
    // "clicked", so selectedFlow holds the code shown.
    Scelte LoadPropertySettings();
    void optFlow_Click(int indice) { selectedFlow_ = qint16(indice); }
    // Applies port number, settings and flow control in turn and stores them;
    // true when the dialog may close. Each failure is shown and stops there.
    bool cmdOK_Click(const Scelte &scelte);

    qint16 selectedFlow() const { return selectedFlow_; }

private:
    bool fallito(const QString &descrizione);

    PortaSeriale &porta_;
    Impostazioni &store_;
    Messaggi &messaggi_;
    qint16 selectedFlow_ = 0;
};

#pragma once
#include <QObject>
#include <QString>

class PortaSeriale;
class Impostazioni;
class Messaggi;
class Sessione;
class RilevaGo;
class QLabel;
class QLineEdit;

// Where the serial input shows the line states: the lamps of each lane and
// the hidden text box Text2.
class VistaLinee {
public:
    virtual ~VistaLinee() = default;
    virtual void mostraConnesso(int k, bool visibile) = 0;
    virtual void mostraNonconnesso(int k, bool visibile) = 0;
    virtual void abilitaText2(bool abilitato) = 0;
    virtual void scriviText2(const QString &testo) = 0;
};

// The lamps and Text2 of the timing window.
class VistaLineeRilevaGo : public VistaLinee {
public:
    explicit VistaLineeRilevaGo(RilevaGo &finestra) : finestra_(finestra) {}
    void mostraConnesso(int k, bool visibile) override;
    void mostraNonconnesso(int k, bool visibile) override;
    void abilitaText2(bool abilitato) override;
    void scriviText2(const QString &testo) override;

private:
    RilevaGo &finestra_;
};

// The timing device's lap input on the timing window's side: applies the
// stored port settings when the window loads, opens the port, and turns each
// active line of a reply into a mark of its lane, at the instant the reply
// arrived. The poll and the reading of replies run where the port lives
// (InterrogatoreSeriale).
class IngressoSeriale : public QObject {
    Q_OBJECT
public:
    IngressoSeriale(PortaSeriale &porta, Sessione &sessione, Messaggi &messaggi, Impostazioni &store,
                    VistaLinee &vista, QObject *parent = nullptr);

    // The serial part of the window's load, run before inizializza.
    void Form_Load();
    void apriPorta();
    // A status byte and the instant it arrived: every active line is marked at that instant.
    void Binario(qint16 Decim, double istante);
    // A device of the extended protocol: its lines light the lamps, and each crossing
    // it stamped is marked at its own instant.
    void lineeEstese(quint8 stato);
    void passaggioStampato(int corsia, double istante);
    // Every lamp at rest, as when no line is active.
    void mostraRiposo();
    // What the link has to say about the device, in place of its last word of the same kind.
    void avvisoDispositivo(const QString &chiave, const QString &testo, bool informazione);

private:
    void avvisa(const QString &descrizione);
    // Lamps and Text2 for a status byte; marks the active lanes when `segna`.
    void decodifica(qint16 Decim, double istante, bool segna);

    PortaSeriale &porta_;
    Sessione &sessione_;
    Messaggi &messaggi_;
    Impostazioni &store_;
    VistaLinee &vista_;
};

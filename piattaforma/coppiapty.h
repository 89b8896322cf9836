#pragma once
#include <QByteArray>
#include <QString>

// A pseudo-terminal pair in raw mode: the program opens the slave path as its
// serial port, the device simulator talks on the master side. The slave side
// is kept open here too, so the master never sees a hang-up while the program
// closes and reopens the port.
class CoppiaPty {
public:
    CoppiaPty();
    ~CoppiaPty();
    CoppiaPty(const CoppiaPty &) = delete;
    CoppiaPty &operator=(const CoppiaPty &) = delete;

    bool valida() const { return master_ >= 0; }
    QString errore() const { return errore_; }
    int master() const { return master_; }
    QString percorso() const { return percorso_; }

    // Everything that arrives at the master within `attesaMs` (returns as soon
    // as something came); empty when nothing did.
    QByteArray leggi(int attesaMs = 0);
    bool scrivi(const QByteArray &byte);

    // The exclusive mode a serial port library puts on the terminal when it
    // opens it (TIOCEXCL). It outlives a program that was killed, and then
    // keeps every later open out: `liberaEsclusiva` clears it (TIOCNXCL).
    bool esclusiva() const;
    bool liberaEsclusiva();

private:
    int master_ = -1;
    int slave_ = -1;
    QString percorso_;
    QString errore_;
};

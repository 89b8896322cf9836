#pragma once
#include "serial/coppiapty.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

class PortaReale;
class QSocketNotifier;

// The timing device played on a pseudo-terminal: every blank that arrives is
// answered with one status byte, bit k at 0 while the line of lane k is active.
// Lines are driven by commands (a person typing, or a timed programme):
//   "3"  a short pass on lane 3 (driver number 1-8)   "+3" hold line 3 active
//   "-3" release line 3    "-" or "0" release every line
// Several commands may share one text, separated by blanks or commas.
class DispositivoSimulato : public QObject {
    Q_OBJECT
public:
    explicit DispositivoSimulato(QObject *parent = nullptr);
    // The device on a serial port the caller has opened, wired to the program's port
    // (where there are no pseudo-terminals); the port outlives this object.
    explicit DispositivoSimulato(PortaReale &porta, QObject *parent = nullptr);
    ~DispositivoSimulato() override;

    bool valido() const;
    QString errore() const;
    QString percorso() const;

    // Length of a pass, long enough for one 100 ms poll to see it.
    void impostaImpulso(int ms) { impulsoMs_ = ms; }
    // Returns false, and does nothing, when a command of the text is not understood.
    bool comando(const QString &testo);
    static bool comandoValido(const QString &testo);
    // Lines of a programme: "<ms from now> <commands>"; '#' starts a comment.
    bool programma(const QString &testo, QString *errore = nullptr);

    void tieni(int corsia);      // lane index 0-7
    void rilascia(int corsia);
    void impulso(int corsia);
    void rilasciaTutte();

    quint8 statoByte() const;    // what the next reply carries
    qint64 interrogazioni() const { return interrogazioni_; }
    // A program that polls no more has gone (or stopped): the exclusive mode it
    // left on the terminal is cleared after this long, so it can be opened again.
    static constexpr int silenzioLiberaMs = 1500;

signals:
    void interrogato(quint8 risposta);
    void lineeCambiate(quint8 stato);
    void programmaFinito();
    // The exclusive mode of a program that went away was cleared.
    void portaLiberata();

private:
    void leggi();
    bool attiva(int corsia) const;
    void avvisaSeCambiato();
    void controllaEsclusiva();

    CoppiaPty pty_;
    PortaReale *porta_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifica_;
    QElapsedTimer orologio_;
    std::array<bool, 8> tenute_{};
    std::array<qint64, 8> fineImpulso_{};
    int impulsoMs_ = 150;
    qint64 interrogazioni_ = 0;
    qint64 ultimaInterrogazione_ = 0; // ms of orologio_
    QTimer esclusiva_;
    quint8 ultimoStato_ = 0xFF;
    int passiInSospeso_ = 0;
};

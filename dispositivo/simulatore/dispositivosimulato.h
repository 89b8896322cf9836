#pragma once
#include "dispositivo/firmware/logica.h"
#include "piattaforma/coppiapty.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <array>
#include <memory>

class PortaReale;
class QSocketNotifier;

// The timing device played on a pseudo-terminal: every blank that arrives is
// answered with one status byte, bit k at 0 while the line of lane k is active.
// Made extended, the firmware's own logic (logica.c) answers instead: the classic
// poll latched, and the extended protocol with crossings stamped by its clock.
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

    // The firmware's logic from now on; its clock runs `ppm` parts per million fast
    // (slow if negative), as a board's resonator may.
    void impostaEsteso(double ppm = 0);
    bool esteso() const { return logica_ != nullptr; }
    // Whether the program has it speak the extended protocol now.
    bool inEsteso() const { return logica_ && logica_->esteso; }
    // The device's time now, in its ticks (extended only).
    quint64 tick() const;
    // The device stops answering, or answers again.
    void impostaMuto(bool muto) { muto_ = muto; }
    bool muto() const { return muto_; }
    // A restart: a new boot number, its clock from 0, the classic protocol, the outputs off.
    void riavvia();
    quint8 luci() const { return logica_ ? logica_->luci : 0; }
    bool rele() const { return logica_ && logica_->rele; }
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
    // Extended: a crossing the device stamped, at its time `tick`.
    void passaggioStampato(int corsia, quint64 tick);
    // Extended: the program entered or left the extended protocol.
    void protocolloCambiato(bool esteso);

private:
    void leggi();
    bool attiva(int corsia) const;
    void avvisaSeCambiato();
    void controllaEsclusiva();
    void rispondi(const QByteArray &byte);
    void passoLogica();

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
    std::unique_ptr<logica> logica_;
    double rapporto_ = 1;      // device ticks per nominal tick
    qint64 origineNs_ = 0;     // of orologio_, the device's tick 0
    quint32 avvio_ = 1;
    bool inEsteso_ = false;
    bool muto_ = false;
    QTimer passo_;
};

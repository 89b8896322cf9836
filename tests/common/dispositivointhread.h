#pragma once
#include "serial/coppiapty.h"
#include "timing/orologio.h"

#include <QVector>
#include <atomic>
#include <mutex>
#include <thread>

// The timing device on a thread of its own, so it answers whatever the
// program's threads are doing: each blank is answered at once with the idle
// byte, or with the lines asked for by `impulso`, and the instants of the polls
// and of the crossings it reported are kept.
class DispositivoInThread {
public:
    explicit DispositivoInThread(Orologio &orologio)
        : orologio_(orologio), thread_([this](std::stop_token fine) { lavora(fine); }) {}
    QString percorso() const { return pty_.percorso(); }
    // The next reply carries these lines active: bit k at 0 for lane k.
    void impulso(quint8 byte) { prossimo_ = byte; }
    QVector<double> interrogazioni() const { std::lock_guard g(m_); return interrogazioni_; }
    QVector<double> passaggi() const { std::lock_guard g(m_); return passaggi_; }

private:
    void lavora(std::stop_token fine)
    {
        while (!fine.stop_requested()) {
            for (char c : pty_.leggi(20)) {
                if (c != ' ') continue;
                const double ora = orologio_.adesso();
                const quint8 risposta = prossimo_.exchange(0xFF);
                pty_.scrivi(QByteArray(1, char(risposta)));
                std::lock_guard g(m_);
                interrogazioni_.append(ora);
                if (risposta != 0xFF) passaggi_.append(ora);
            }
        }
    }

    Orologio &orologio_;
    CoppiaPty pty_;
    std::atomic<quint8> prossimo_{0xFF};
    mutable std::mutex m_;
    QVector<double> interrogazioni_, passaggi_;
    std::jthread thread_; // last: starts once everything above exists, and stops and joins first
};

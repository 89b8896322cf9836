#pragma once
#include <QString>
#include <QThread>

// A thread of its own for an object that works there (the lap writer, the live
// page's server, the voice, the serial port): the object moves to the thread as
// it starts and is deleted on it when the thread ends. The thread ends, after
// the work already given to it, by `ferma` or with this helper at the latest.
class ThreadDedicato {
public:
    // What the thread asks of the system as it starts: nothing, to give way to
    // the serial thread, or to outrank every other thread (the serial thread).
    enum class Priorita { Normale, Ceduta, Alzata };

    explicit ThreadDedicato(const QString &nome, Priorita priorita = Priorita::Normale);
    ~ThreadDedicato();
    ThreadDedicato(const ThreadDedicato &) = delete;
    ThreadDedicato &operator=(const ThreadDedicato &) = delete;

    // Moves `oggetto` (which has no parent) to the thread and starts the thread;
    // the object is the thread's from now on. Wire its signals first.
    void avvia(QObject *oggetto);
    // Ends the thread and waits for it; its object is gone when this returns.
    void ferma();
    bool attivo() const { return thread_.isRunning(); }
    QThread &thread() { return thread_; }

private:
    QThread thread_;
    Priorita priorita_;
};

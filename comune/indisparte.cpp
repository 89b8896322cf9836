#include "comune/indisparte.h"
#include "piattaforma/priorita.h"

#include <QEventLoop>
#include <QThread>
#include <memory>

void eseguiInDisparte(const std::function<void()> &lavoro)
{
    // A long report must not take the CPU the serial thread needs.
    std::unique_ptr<QThread> thread(QThread::create([&lavoro] {
        priorita::cediQuesto();
        lavoro();
    }));
    QEventLoop attesa;
    QObject::connect(thread.get(), &QThread::finished, &attesa, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished()) attesa.exec();
    // The loop also ends when the program is told to quit: the work is finished all the same.
    thread->wait();
}

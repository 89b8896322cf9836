#include "comune/indisparte.h"

#include <QEventLoop>
#include <QThread>
#include <memory>

void eseguiInDisparte(const std::function<void()> &lavoro)
{
    std::unique_ptr<QThread> thread(QThread::create(lavoro));
    QEventLoop attesa;
    QObject::connect(thread.get(), &QThread::finished, &attesa, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished()) attesa.exec();
    // The loop also ends when the program is told to quit: the work is finished all the same.
    thread->wait();
}

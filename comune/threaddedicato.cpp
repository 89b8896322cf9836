#include "comune/threaddedicato.h"
#include "piattaforma/priorita.h"

ThreadDedicato::ThreadDedicato(const QString &nome, Priorita priorita) : priorita_(priorita)
{
    thread_.setObjectName(nome);
    // Run by the new thread itself, before anything it is given.
    QObject::connect(&thread_, &QThread::started, &thread_, [this] {
        if (priorita_ == Priorita::Alzata) priorita::alzaQuesto();
        else if (priorita_ == Priorita::Ceduta) priorita::cediQuesto();
    }, Qt::DirectConnection);
}

ThreadDedicato::~ThreadDedicato() { ferma(); }

void ThreadDedicato::avvia(QObject *oggetto)
{
    oggetto->moveToThread(&thread_);
    // Deleted on its own thread as the thread ends (its event loop is done by then).
    QObject::connect(&thread_, &QThread::finished, oggetto, &QObject::deleteLater);
    thread_.start(priorita_ == Priorita::Alzata ? QThread::TimeCriticalPriority : QThread::InheritPriority);
}

void ThreadDedicato::ferma()
{
    thread_.quit();
    thread_.wait();
}

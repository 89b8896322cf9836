// The recorder's input through Qt Multimedia, on a thread of its own.
#include "registratore.h"

#include "voce/motori.h"

#include <QAudioSource>
#include <QMediaDevices>
#include <QThread>

struct Registratore::Ingresso {
    QThread thread;
    QObject *ricevitore = new QObject;
    std::unique_ptr<QAudioSource> sorgente;
    QIODevice *flusso = nullptr;
};

Registratore::Registratore(Orologio &orologio) : orologio_(orologio), ingresso_(std::make_unique<Ingresso>())
{
    ingresso_->thread.setObjectName(QStringLiteral("registratore"));
    ingresso_->ricevitore->moveToThread(&ingresso_->thread);
    QObject::connect(&ingresso_->thread, &QThread::finished, ingresso_->ricevitore, &QObject::deleteLater);
}

Registratore::~Registratore()
{
    ferma();
    ingresso_->thread.quit();
    ingresso_->thread.wait();
}

bool Registratore::avvia()
{
    Ingresso &i = *ingresso_;
    i.thread.start();
    QMetaObject::invokeMethod(i.ricevitore, [this, &i] {
        const QAudioDevice dispositivo = QMediaDevices::defaultAudioInput();
        if (dispositivo.isNull()) {
            problema_ = QStringLiteral("nessun ingresso audio");
            return;
        }
        QAudioFormat formato;
        formato.setSampleRate(toni::campionamento);
        formato.setChannelCount(1);
        formato.setSampleFormat(QAudioFormat::Int16);
        i.sorgente = std::make_unique<QAudioSource>(dispositivo, formato);
        // 5 ms fragments: the sink then renders in blocks that short, and each reading
        // comes within one of its samples (the measure's own error).
        i.sorgente->setBufferSize(formato.bytesForDuration(5000));
        i.flusso = i.sorgente->start();
        if (!i.flusso) {
            problema_ = QStringLiteral("l'ingresso audio \"%1\" non si apre").arg(dispositivo.description());
            return;
        }
        QObject::connect(i.flusso, &QIODevice::readyRead, i.ricevitore, [this, &i] {
            const QByteArray dati = i.flusso->readAll();
            ricevi(dati.constData(), dati.size());
        });
    }, Qt::BlockingQueuedConnection);
    return problema_.isEmpty();
}

void Registratore::ferma()
{
    Ingresso &i = *ingresso_;
    if (!i.thread.isRunning()) return;
    QMetaObject::invokeMethod(i.ricevitore, [this, &i] {
        if (i.flusso) {
            const QByteArray dati = i.flusso->readAll();
            ricevi(dati.constData(), dati.size());
        }
        if (i.sorgente) i.sorgente->stop();
        i.sorgente.reset();
        i.flusso = nullptr;
    }, Qt::BlockingQueuedConnection);
}

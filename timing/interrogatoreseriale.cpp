#include "timing/interrogatoreseriale.h"

#include "serial/portaseriale.h"
#include "timing/orologio.h"

InterrogatoreSeriale::InterrogatoreSeriale(PortaSeriale &porta, Orologio &orologio, QObject *parent)
    : QObject(parent), porta_(porta), orologio_(orologio), timer2_(this)
{
    timer2_.setInterval(100);
    timer2_.setTimerType(Qt::PreciseTimer);
    connect(&timer2_, &QTimer::timeout, this, [this] { uscita(32); });
    connect(&porta_, &PortaSeriale::onComm, this, &InterrogatoreSeriale::MSComm1_OnComm);
    // The poll follows the port: a device is never left unpolled because of the
    // order in which the port was opened (the dialog may close and reopen it).
    connect(&porta_, &PortaSeriale::apertaCambiata, this, &InterrogatoreSeriale::Gestisci);
    Gestisci(porta_.portOpen());
}

void InterrogatoreSeriale::Gestisci(bool cond)
{
    if (cond) {
        if (!timer2_.isActive()) timer2_.start();
    } else {
        timer2_.stop();
    }
}

void InterrogatoreSeriale::uscita(qint16 a)
{
    if (porta_.portOpen()) porta_.output(QString(QChar(ushort(a))));
}

void InterrogatoreSeriale::MSComm1_OnComm()
{
    // The reply arrived at or before this moment: the instant comes before the read.
    const double istante = orologio_.adesso();
    bufferSeriale_ = porta_.input();
    if (bufferSeriale_.isEmpty()) return;
    // One reply at a time: further bytes of the same read are dropped.
    byteSeriale_ = qint16(bufferSeriale_.at(0).unicode());
    emit risposta(byteSeriale_, istante);
}

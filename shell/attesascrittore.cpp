#include "shell/attesascrittore.h"

#include "database/archivioasincrono.h"

AttesaScrittore::AttesaScrittore(ArchivioAsincrono &archivio, VistaAttesa &vista, QObject *parent)
    : QObject(parent), archivio_(archivio), vista_(vista)
{
    orologio_.setInterval(100);
    connect(&orologio_, &QTimer::timeout, this, &AttesaScrittore::aggiorna);
}

QString AttesaScrittore::testo(int giri)
{
    return QStringLiteral("Attendere: salvataggio dei giri in corso...\nGiri in attesa: %1").arg(giri);
}

bool AttesaScrittore::attendi(std::function<void(bool completo)> azione)
{
    if (turno_) return false;
    turno_ = new QObject(this);
    da_.start();
    orologio_.start();
    archivio_.svuotaPoi(turno_, [this, azione = std::move(azione)](bool completo) {
        finisci();
        azione(completo);
    });
    return true;
}

void AttesaScrittore::annulla()
{
    if (turno_) finisci();
}

void AttesaScrittore::finisci()
{
    orologio_.stop();
    delete std::exchange(turno_, nullptr);
    vista_.nascondi();
}

void AttesaScrittore::aggiorna()
{
    const qint64 ms = da_.elapsed();
    if (ms >= ritardoAvvisoMs) vista_.mostra(testo(archivio_.giriInAttesa()), ms >= annullabileDopoMs);
}

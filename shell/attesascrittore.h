#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class ArchivioAsincrono;

// Where the wait for the lap writer is shown: a notice that holds nobody up.
class VistaAttesa {
public:
    virtual ~VistaAttesa() = default;
    virtual void mostra(const QString &testo, bool annullabile) = 0;
    virtual void nascondi() = 0;
};

// Runs an action once the lap writer has committed what waits, without holding
// the window up: keys, buttons and the serial line go on marking laps; a notice
// says what is awaited and, after a few seconds, offers to give up. One wait at
// a time, so no dialog opens while it lasts.
class AttesaScrittore : public QObject {
    Q_OBJECT
public:
    static constexpr int ritardoAvvisoMs = 200; // a quick answer shows nothing
    static constexpr int annullabileDopoMs = 3000;

    AttesaScrittore(ArchivioAsincrono &archivio, VistaAttesa &vista, QObject *parent = nullptr);

    // `azione(completo)` runs when the writer answered. False, doing nothing,
    // while another wait is under way.
    bool attendi(std::function<void(bool completo)> azione);
    bool inCorso() const { return turno_ != nullptr; }
    // Gives the wait up: the action is dropped, the laps keep waiting for the writer.
    void annulla();

    static QString testo(int giri);

private:
    void aggiorna();
    void finisci();

    ArchivioAsincrono &archivio_;
    VistaAttesa &vista_;
    QObject *turno_ = nullptr; // the current wait: gone with it, so a late answer is dropped
    QElapsedTimer da_;
    QTimer orologio_;
};

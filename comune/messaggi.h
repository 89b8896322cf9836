#pragma once
#include <QHash>
#include <QPointer>
#include <QString>

class QMessageBox;

// Modal message boxes, behind an interface so tests can answer them.
class Messaggi {
public:
    enum class Icona { Nessuna, Esclamazione, Informazione, Domanda, Critico };
    enum class Pulsanti { Ok, OkAnnulla, SiNo };
    enum class Risposta { Ok, Annulla, Si, No };

    virtual ~Messaggi() = default;
    // An empty caption shows the application's title; `predefinito` is the
    // 0-based index of the default button (1 makes Cancel or No the default).
    virtual Risposta mostra(const QString &testo, Pulsanti pulsanti = Pulsanti::Ok,
                            Icona icona = Icona::Nessuna, const QString &titolo = {},
                            int predefinito = 0) = 0;
    // A notice that waits for nobody: it stays on screen while the program goes
    // on, so the operator can keep marking laps with the box open.
    virtual void avvisa(const QString &testo, Icona icona = Icona::Esclamazione) = 0;
    // A notice about a state that may end by itself (a device that went quiet, and
    // answers again): it takes the place of the last notice given with the same
    // `chiave`, closing it if still open, so the screen shows how things stand now.
    virtual void sostituisciAvviso(const QString &chiave, const QString &testo, Icona icona = Icona::Esclamazione)
    {
        Q_UNUSED(chiave);
        avvisa(testo, icona);
    }
};

// The real thing: QMessageBox, modal over the active window.
class MessaggiQt : public Messaggi {
public:
    Risposta mostra(const QString &testo, Pulsanti pulsanti = Pulsanti::Ok, Icona icona = Icona::Nessuna,
                    const QString &titolo = {}, int predefinito = 0) override;
    void avvisa(const QString &testo, Icona icona = Icona::Esclamazione) override;
    void sostituisciAvviso(const QString &chiave, const QString &testo, Icona icona = Icona::Esclamazione) override;

private:
    QHash<QString, QPointer<QMessageBox>> avvisi_;
};

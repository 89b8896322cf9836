#pragma once
#include "shell/attesascrittore.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

// The notice of a wait (for the lap writer, for a file being checked, for a lock
// another program holds): a small window that never takes the focus, so the keys
// stay with the timing window; "Annulla" gives the wait up. Below the wait it
// lists the commands that wait their turn.
class AvvisoAttesa : public VistaAttesa {
public:
    explicit AvvisoAttesa(std::function<void()> annulla) : annulla_(std::move(annulla)) {}
    ~AvvisoAttesa() override;
    void mostra(const QString &testo, bool annullabile) override;
    void nascondi() override;
    // The commands waiting their turn, and what runs meanwhile when no wait is shown;
    // the notice stays while any wait.
    void impostaCoda(const QStringList &comandi, const QString &inCorso);
    QWidget *finestra() const { return finestra_; }

private:
    void aggiorna();

    std::function<void()> annulla_;
    QPointer<QWidget> finestra_;
    QLabel *testo_ = nullptr;
    QPushButton *annullaBtn_ = nullptr;
    QString attesa_, coda_, inCorso_;
    bool annullabile_ = false;
};

#pragma once
#include "shell/attesascrittore.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

// The notice of a wait for the lap writer: a small window that never takes the
// focus, so the keys stay with the timing window; "Annulla" gives the wait up.
class AvvisoAttesa : public VistaAttesa {
public:
    explicit AvvisoAttesa(std::function<void()> annulla) : annulla_(std::move(annulla)) {}
    ~AvvisoAttesa() override;
    void mostra(const QString &testo, bool annullabile) override;
    void nascondi() override;
    QWidget *finestra() const { return finestra_; }

private:
    std::function<void()> annulla_;
    QPointer<QWidget> finestra_;
    QLabel *testo_ = nullptr;
    QPushButton *annullaBtn_ = nullptr;
};

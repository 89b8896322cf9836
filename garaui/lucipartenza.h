#pragma once
#include <QWidget>

// The five start lights, drawn large for the drivers: lit red one a second,
// all out at the start. Below them the countdown, "VIA!" or the restart.
class LuciPartenza : public QWidget {
    Q_OBJECT
public:
    explicit LuciPartenza(QWidget *parent = nullptr);
    void impostaLuci(int accese);
    // The large line below the lights; `verde` for the start itself.
    void impostaTesto(const QString &testo, bool verde = false);
    void impostaTitolo(const QString &titolo);
    int luci() const { return accese_; }
    QString testo() const { return testo_; }

protected:
    void paintEvent(QPaintEvent *evento) override;

private:
    int accese_ = 0;
    QString testo_, titolo_;
    bool verde_ = false;
};

#pragma once
#include <QPair>
#include <QVector>
#include <QWidget>

// "Next up", large enough to read from the track: who goes on which lane in
// the heat to come, or the message that none is left.
class PannelloProssimaManche : public QWidget {
    Q_OBJECT
public:
    explicit PannelloProssimaManche(QWidget *parent = nullptr);
    // `titolo` such as "Prossima manche: 4 di 10", `sottotitolo` its rules; lanes count from 0.
    void mostra(const QString &titolo, const QString &sottotitolo, const QVector<QPair<int, QString>> &piloti);
    void mostraMessaggio(const QString &titolo, const QString &messaggio);
    QString titolo() const { return titolo_; }
    // The lines as read: "Corsia 1: Mario Rossi".
    QStringList righe() const;

protected:
    void paintEvent(QPaintEvent *evento) override;

private:
    QString titolo_, sottotitolo_;
    QVector<QPair<int, QString>> piloti_;
};

#pragma once
#include <QObject>
#include <QString>

// The simulator's terminal: the lines a person types, and the request to end
// (Ctrl+C, the terminal closed, a shutdown), delivered on the main thread.
class Console : public QObject {
    Q_OBJECT
public:
    explicit Console(QObject *parent = nullptr);
    ~Console() override;
    // True when a person types at it, rather than a file or a pipe.
    static bool interattiva();

signals:
    void riga(const QString &testo);
    void fineRichiesta();

private:
    struct Dati;
    Dati *d_;
};

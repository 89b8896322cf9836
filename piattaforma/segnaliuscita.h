#pragma once
#include <QObject>
#include <memory>

// The requests to end that come from outside the windows, as one signal on the
// window's thread: SIGTERM, SIGINT and SIGHUP where there are signals, the
// console's close, log-off and shutdown events on Windows. One at a time in a program.
class SegnaliUscita : public QObject {
    Q_OBJECT
public:
    explicit SegnaliUscita(QObject *parent = nullptr);
    ~SegnaliUscita() override;

    // Windows ends the process as soon as its handler returns: the handler waits
    // (a few seconds at most) until the program says its shutdown is done.
    static void uscitaCompiuta();

signals:
    void richiesta();

private:
    struct Dati;
    std::unique_ptr<Dati> d_;
};

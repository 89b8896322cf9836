#pragma once
// Load for the benchmarks that time laps under stress, each run as a process of its own:
// two cores kept busy, and a flood of the live results page (3,000 requests a second on
// keep-alive connections and 100 clients sending 4 MB headers, bounded in count and time).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace carico {

inline qint64 oraNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// One core spinning for `secondi`.
inline int occupa(int secondi)
{
    const qint64 fine = oraNs() + qint64(secondi) * 1'000'000'000;
    volatile unsigned long x = 0;
    while (oraNs() < fine)
        for (int i = 0; i < 100000; ++i) x = x + i;
    return 0;
}

// The page on `porta` flooded for `secondi`; what it served is printed at the end.
inline int inonda(int argc, char **argv, quint16 porta, int secondi)
{
    QCoreApplication app(argc, argv);
    QElapsedTimer tempo;
    tempo.start();
    long risposte = 0, rifiutate = 0, troppoLunghe = 0, connessioni = 0;
    double gettoni = 0;
    QList<QTcpSocket *> inAttesa; // keep-alive clients waiting for a token
    const QByteArray richiesta = "GET / HTTP/1.1\r\nHost: prova\r\n\r\n";
    auto chiedi = [&](QTcpSocket *s) {
        if (gettoni >= 1) {
            gettoni -= 1;
            s->write(richiesta);
        } else {
            inAttesa.append(s);
        }
    };
    // Keep-alive clients: one request at a time each, 3,000 a second in all.
    std::function<void(int)> apriPagina = [&](int n) {
        if (tempo.elapsed() > secondi * 1000 || ++connessioni > 20000) return;
        auto *s = new QTcpSocket(&app);
        s->bind(QHostAddress(quint32(0x7F000002 + n % 60)));
        QObject::connect(s, &QTcpSocket::connected, s, [&, s] { chiedi(s); });
        QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
            QByteArray d = s->property("d").toByteArray() + s->readAll();
            for (;;) {
                const qsizetype fine = d.indexOf("\r\n\r\n");
                if (fine < 0) break;
                const qsizetype l = d.indexOf("Content-Length: ");
                const qsizetype lunghezza = l >= 0 && l < fine ? d.mid(l + 16, d.indexOf('\r', l) - l - 16).toLongLong() : 0;
                if (d.size() < fine + 4 + lunghezza) break;
                if (d.startsWith("HTTP/1.1 200")) ++risposte;
                else ++rifiutate;
                d.remove(0, fine + 4 + lunghezza);
                chiedi(s);
            }
            s->setProperty("d", d);
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, [&, s, n] {
            inAttesa.removeAll(s);
            s->deleteLater();
            QTimer::singleShot(50, &app, [&, n] { apriPagina(n); });
        });
        s->connectToHost(QHostAddress::LocalHost, porta);
    };
    // 100 clients sending a 4 MB header in 64 kB pieces, again and again.
    const QByteArray pezzo(64 * 1024, 'x');
    std::function<void(int)> apriGrande = [&](int n) {
        if (tempo.elapsed() > secondi * 1000 || ++connessioni > 20000) return;
        auto *s = new QTcpSocket(&app);
        s->bind(QHostAddress(quint32(0x7F000064 + n)));
        s->setProperty("inviati", 0);
        auto avanti = [s, &pezzo] {
            const int inviati = s->property("inviati").toInt();
            if (inviati >= 64 || s->bytesToWrite() > 0) return;
            s->write(inviati == 0 ? QByteArray("GET / HTTP/1.1\r\nX-Grande: ") + pezzo : pezzo);
            s->setProperty("inviati", inviati + 1);
        };
        QObject::connect(s, &QTcpSocket::connected, s, avanti);
        QObject::connect(s, &QTcpSocket::bytesWritten, s, avanti);
        QObject::connect(s, &QTcpSocket::readyRead, s, [&, s] {
            if (s->readAll().startsWith("HTTP/1.1 431")) ++troppoLunghe;
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, [&, s, n] {
            s->deleteLater();
            QTimer::singleShot(100, &app, [&, n] { apriGrande(n); });
        });
        QObject::connect(s, &QTcpSocket::errorOccurred, s, [s] { s->abort(); });
        s->connectToHost(QHostAddress::LocalHost, porta);
    };
    QTimer rubinetto;
    rubinetto.setTimerType(Qt::PreciseTimer);
    QElapsedTimer ultimo;
    ultimo.start();
    QObject::connect(&rubinetto, &QTimer::timeout, &app, [&] {
        gettoni = std::min(gettoni + ultimo.restart() * 3.0, 300.0);
        while (gettoni >= 1 && !inAttesa.isEmpty()) chiedi(inAttesa.takeFirst());
        if (tempo.elapsed() > secondi * 1000) app.quit();
    });
    rubinetto.start(5);
    for (int n = 0; n < 60; ++n) apriPagina(n);
    for (int n = 0; n < 100; ++n) apriGrande(n);
    app.exec();
    std::printf("richieste servite %ld (%.0f al secondo), rifiutate %ld, teste troppo lunghe rifiutate %ld, connessioni %ld\n",
                risposte, risposte / (tempo.elapsed() / 1000.0), rifiutate, troppoLunghe, connessioni);
    return 0;
}

} // namespace carico

#pragma once
#include <QByteArray>
#include <QString>

// One HTTP/1.x request head, read off the front of what a connection has sent
// so far. A pure function of the bytes: the same head gives the same answer
// whether it came in one piece or a byte at a time.
struct TestaHttp {
    enum class Esito {
        Nessuna,     // only blank lines so far (between requests): `consumati` of them
        Incompleta,  // a head has begun and its blank line has not come yet
        Completa,    // a head, `consumati` bytes with the blank lines before it
        TroppoLunga, // over the limit, ended or not (431)
        NonValida    // not a request line of HTTP/1.x (400)
    };
    Esito esito = Esito::Nessuna;
    qsizetype consumati = 0;
    QByteArray metodo;
    QString percorso;       // decoded, without the query
    bool chiudi = false;    // HTTP/1.0 or "Connection: close": the connection ends after the answer
    bool conCorpo = false;  // a body is announced (nothing here takes one)
};

// `limite`: the most bytes a head (request line and headers) may take.
TestaHttp leggiTestaHttp(const QByteArray &dati, qsizetype limite);

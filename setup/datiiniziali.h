#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <optional>

namespace gara {
struct Regole;
}

class Database;
class Messaggi;

// A track of the catalogue as the start window holds it.
struct PistaCatalogo {
    QString nome;
    qint16 lunghezza = 0;
};

// What the start window decides, without its widgets: the track catalogue
// (list filling, adding or changing, deleting) and the check of the drivers.
class DatiIniziali {
public:
    DatiIniziali(Database &db, Messaggi &messaggi);

    // Rereads the catalogue in table order (the list of `comboInit`). An engine
    // error is shown and leaves the list empty.
    void comboInit();
    const QVector<PistaCatalogo> &piste() const { return piste_; }
    QStringList nomiPiste() const;
    // The track at a list position; -1 or any other position outside the list
    // gives the empty name and length 0.
    PistaCatalogo pistaDellaLista(int indice) const;

    // Stores the track typed in the editor. True when the editor is done with
    // it (stored, changed or left as it was) and the list has been refilled;
    // false when a message sent the user back to the editor.
    bool nuovaPista(const QString &nome, const QString &lunghezza);
    // Deletes every track with this name, with a message for each; the list
    // is refilled unless the name was missing.
    void cancellaPista(const QString &nome);

    // The drivers to take: the names as typed up to the first empty box (a
    // box of blanks only is empty). Without a first name, or with two lanes
    // under one name (compared by chiaveNome), the message is shown and
    // nothing is returned.
    std::optional<QStringList> pilotiInseriti(const QStringList &nomi);
    // The session kind chosen beside the track (0 "Prova libera", as in
    // gara::nomiTipi) with its minutes or laps and grace factor as typed
    // (comma or point): the rules of the race, or nothing after the message
    // why not (a race of 0 laps or 0 minutes, a grace that is no number).
    std::optional<gara::Regole> regoleInserite(int tipo, const QString &valore, const QString &grazia);
    // What makes two names the same driver: blanks around dropped and inner runs
    // of blanks taken as one, letter case ignored (full Unicode case folding),
    // compatibility forms alike (NFKC: composed and decomposed accents, a
    // full-width letter, a no-break space), invisible marks (zero-width space,
    // direction marks) ignored.
    static QString chiaveNome(const QString &nome);

    // A length in metres as stored: a decimal number with a comma or a point
    // ("1200,5", "1e3"), blanks around allowed, from 0 up to what still reads
    // as 32767 once rounded.
    static std::optional<double> lunghezzaValida(const QString &testo);
    // A stored length as the session takes it: rounded to the nearest whole
    // metre, halves to even; anything that does not fit 16 bits reads 0.
    static qint16 lunghezzaLetta(const QVariant &valore);

private:
    Database &db_;
    Messaggi &messaggi_;
    QVector<PistaCatalogo> piste_;
};

#pragma once
#include "gara/archiviogara.h"

#include <QHash>
#include <QObject>
#include <functional>
#include <optional>

class LavoriGara;

// The event and championship windows without their widgets: what they show,
// read from the file, and every change they make, each stored through the lap
// writer (LavoriGara) and followed by a fresh reading. Bad input comes back
// refused, with ArchivioGara's Italian reason, and changes nothing.
class GestioneGare : public QObject {
    Q_OBJECT
public:
    using Esito = std::function<void(bool fatto, const QString &errore, const QStringList &avvisi)>;

    struct Stato {
        QVector<gara::Gara> gare;
        QVector<gara::Campionato> campionati;
        std::optional<gara::Gara> gara; // the event chosen
        QVector<gara::Iscritto> iscritti;
        QVector<gara::Manche> manche;
        gara::Programma programma;      // as stored, drivers as entry positions
        gara::RisultatoGara risultato;
        QHash<qint64, gara::RisultatoManche> risultati; // the heats that started
        QVector<gara::VoceRegistro> registro;
        std::optional<gara::Campionato> campionato;     // the championship chosen
        gara::ClassificaCampionato classifica;
    };

    explicit GestioneGare(LavoriGara &lavori, QObject *parent = nullptr);

    const Stato &stato() const { return stato_; }
    bool letto() const { return letto_; }
    // Reads again; `cambiata` when done.
    void aggiorna(std::function<void()> poi = {});
    void scegliGara(qint64 id);        // 0: none
    void scegliCampionato(qint64 id);  // 0: none

    // A new event when its id is 0 (then it is the one chosen).
    void salvaGara(const gara::Gara &gara, Esito esito);
    void iscrivi(const gara::Iscritto &iscritto, Esito esito);
    void modificaIscritto(const gara::Iscritto &iscritto, Esito esito);
    void ritira(qint64 iscritto, Esito esito);
    void generaProgramma(Esito esito);
    // The heats still to run, as reordered or changed by hand; its warnings come back in `avvisi`.
    void salvaProgramma(const gara::Programma &daCorrere, Esito esito);
    void impostaRegoleManche(qint64 manche, const gara::Regole &regole, Esito esito);
    // A penalty, or its withdrawal, on an event not on the lanes (DirezioneGara has those).
    void sanziona(const gara::Sanzione &sanzione, const QDateTime &quando, Esito esito);
    void annullaSanzione(qint64 voce, const QString &motivo, const QDateTime &quando, Esito esito);
    // A new championship when its id is 0 (then it is the one chosen).
    void salvaCampionato(const gara::Campionato &campionato, Esito esito);

    // The heats still to run of the stored schedule, drivers as entry positions.
    gara::Programma daCorrere() const;

signals:
    void cambiata();

private:
    using Lavoro = std::function<qint64(gara::ArchivioGara &, QString *errore, QStringList *avvisi)>;
    // Runs one change, then reads everything again; a positive result of `lavoro` is a new id to choose.
    void cambia(Lavoro lavoro, Esito esito, bool nuovaGara = false, bool nuovoCampionato = false);
    static void leggi(gara::ArchivioGara &ag, qint64 gara, qint64 campionato, Stato &s);

    LavoriGara &lavori_;
    Stato stato_;
    qint64 gara_ = 0, campionato_ = 0;
    bool letto_ = false;
};

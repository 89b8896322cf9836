#pragma once
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <optional>
#include <stdexcept>

class Messaggi;
struct sqlite3;
struct sqlite3_stmt;
class Database;

// An error of the database engine, with the engine's own description.
class ErroreDatabase : public std::runtime_error {
public:
    ErroreDatabase(int codice, const QString &descrizione);
    int codice() const { return codice_; }
    // Another connection holds the file's lock (busy or locked).
    bool occupato() const;
    QString descrizione() const { return descrizione_; }
    // The Italian text shown to the user.
    QString messaggio() const;
    // The text for an engine result code: the common refusals told in Italian,
    // the engine's own words kept as a detail at the end.
    static QString testoItaliano(int codice, const QString &dettaglio);
    // The same without the leading "Errore del database: ", to go inside another message.
    static QString motivoItaliano(int codice, const QString &dettaglio);
    // Shows that text in a message box with the exclamation icon.
    void mostra(Messaggi &messaggi) const;

private:
    int codice_;
    QString descrizione_;
};

// One prepared statement, borrowed from the connection's cache and handed back
// (reset, bindings cleared) when it goes out of scope.
class Istruzione {
public:
    Istruzione(Istruzione &&altra) noexcept;
    Istruzione(const Istruzione &) = delete;
    Istruzione &operator=(const Istruzione &) = delete;
    Istruzione &operator=(Istruzione &&) = delete;
    ~Istruzione();

    // Parameters are numbered from 1. A null QVariant binds NULL, a null QString binds .
    Istruzione &lega(int i, const QString &valore);
    Istruzione &lega(int i, double valore);
    Istruzione &lega(int i, qint64 valore);
    Istruzione &lega(int i, int valore) { return lega(i, static_cast<qint64>(valore)); }
    Istruzione &lega(int i, const QVariant &valore);
    Istruzione &legaNullo(int i);

    // Steps once: true when a row is ready, false when done.
    bool passo();
    // Steps to the end, ignoring rows.
    void esegui();

    int colonne() const;
    QString nomeColonna(int c) const;
    bool nullo(int c) const;
    QString testo(int c) const;
    qint64 intero(int c) const;
    // A whole number as the user sees it (a real rounded); empty for Null or text.
    std::optional<qint64> interoONullo(int c) const;
    double reale(int c) const;
    // Integer, real, text or null as the engine holds it.
    QVariant valore(int c) const;

private:
    friend class Database;
    Istruzione(Database *db, sqlite3_stmt *stmt, QByteArray sql, quint64 generazione);
    void controlla(int rc) const;

    Database *db_;
    sqlite3_stmt *stmt_;
    QByteArray sql_;
    quint64 generazione_;
};

// The connection to the encrypted timing database. One object lives for the
// whole run; closing and reopening it (saved sessions) replaces the engine
// connection underneath, so everyone holding a reference sees the new file.
class Database {
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens the file with the password and reads sqlite_master, so a wrong key
    // or a file that is not a database fails here and not later. Without
    // `crea` a missing file is an error; an empty password opens a plain,
    // unencrypted database (":memory:" included). Throws ErroreDatabase; on
    // failure the object stays closed.
    void apri(const QString &percorso, const QString &password, bool crea = false);
    void chiudi();
    bool aperto() const { return db_ != nullptr; }
    QString percorso() const { return percorso_; }
    // Changes at every open, so holders of cached state can tell a new file.
    quint64 generazione() const { return generazione_; }

    // Runs one or more statements without parameters.
    void esegui(const QString &sql);
    Istruzione prepara(const QString &sql);
    Istruzione prepara(const char *sql);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int modificate() const;
    // The row id the last INSERT gave.
    qint64 ultimoId() const;
    bool inTransazione() const;
    // How long a statement waits for another connection's lock before failing;
    // a connection starts with `attesaPredefinitaMs`.
    void impostaAttesa(int ms);
    static constexpr int attesaPredefinitaMs = 2000;
    // Changes whenever another connection commits to the file (the engine's data_version).
    qint64 versioneDati();

    // The engine's full integrity check: empty when the file is sound,
    // otherwise the first problem it found.
    QString controlloIntegrita();

    // Can the file take the place of the timing database? It must open with
    // the password, pass the full integrity check, and hold every table and
    // view the program reads with the columns and types the program creates.
    // Reads only. `errore` receives the reason in Italian when not; `byteLiberi`
    // the bytes of the file that hold no data (free pages, a tail past the last page).
    static bool verificaFile(const QString &percorso, const QString &password,
                             QString *errore = nullptr, qint64 *byteLiberi = nullptr);
    // What an existing path that is neither a plain file nor a folder leads to
    // ("non è un file normale ma un dispositivo"); empty for anything else.
    static QString nonNormale(const QString &percorso);

    sqlite3 *handle() const { return db_; }

private:
    friend class Istruzione;
    void restituisci(const QByteArray &sql, sqlite3_stmt *stmt, quint64 generazione);
    [[noreturn]] void errore(int rc) const;
    void registraFunzioni();

    sqlite3 *db_ = nullptr;
    QString percorso_;
    quint64 generazione_ = 0;
    QHash<QByteArray, sqlite3_stmt *> cache_;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back unless confirmed, so a failure in
// between leaves the file as it was.
class Transazione {
public:
    explicit Transazione(Database &db);
    ~Transazione();
    Transazione(const Transazione &) = delete;
    Transazione &operator=(const Transazione &) = delete;
    void conferma();

private:
    Database &db_;
    bool chiusa_ = false;
};

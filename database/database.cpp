#include "database/database.h"

#include "database/schema.h"
#include "timing/tempotesto.h"
#include "comune/messaggi.h"
#include "comune/nomi.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sqlcipher/sqlite3.h>
#include <filesystem>

// ---------------------------------------------------------------------------
// ErroreDatabase

ErroreDatabase::ErroreDatabase(int codice, const QString &descrizione)
    : std::runtime_error(descrizione.toStdString()), codice_(codice), descrizione_(descrizione)
{
}

bool ErroreDatabase::occupato() const
{
    return (codice_ & 0xff) == SQLITE_BUSY || (codice_ & 0xff) == SQLITE_LOCKED;
}

QString ErroreDatabase::messaggio() const { return testoItaliano(codice_, descrizione_); }

QString ErroreDatabase::testoItaliano(int codice, const QString &dettaglio)
{
    return QStringLiteral("Errore del database: ") + motivoItaliano(codice, dettaglio);
}

QString ErroreDatabase::motivoItaliano(int codice, const QString &dettaglio)
{
    const char *frase = nullptr;
    switch (codice & 0xff) { // extended codes carry the primary one in the low byte
    case SQLITE_NOTADB:
        frase = "il file non è un database dei tempi, oppure la password non è quella giusta.";
        break;
    case SQLITE_FULL: frase = "il disco è pieno: i dati non sono stati scritti."; break;
    case SQLITE_READONLY: frase = "il file è in sola lettura: i dati non sono stati scritti."; break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: frase = "il database è occupato da un'altra operazione; riprovare tra poco."; break;
    case SQLITE_CANTOPEN: frase = "il file non esiste o non può essere aperto."; break;
    case SQLITE_PERM: frase = "accesso al file negato."; break;
    case SQLITE_IOERR: frase = "errore di lettura o scrittura sul disco."; break;
    case SQLITE_CORRUPT: frase = "il file del database è danneggiato."; break;
    default: break;
    }
    if (!frase) return dettaglio;
    QString testo = QString::fromUtf8(frase);
    if (!dettaglio.isEmpty()) testo += QStringLiteral("\nDettaglio: ") + dettaglio;
    return testo;
}

void ErroreDatabase::mostra(Messaggi &messaggi) const
{
    messaggi.mostra(messaggio(), Messaggi::Pulsanti::Ok, Messaggi::Icona::Esclamazione);
}

// ---------------------------------------------------------------------------
// Istruzione

Istruzione::Istruzione(Database *db, sqlite3_stmt *stmt, QByteArray sql, quint64 generazione)
    : db_(db), stmt_(stmt), sql_(std::move(sql)), generazione_(generazione)
{
}

Istruzione::Istruzione(Istruzione &&altra) noexcept
    : db_(altra.db_), stmt_(altra.stmt_), sql_(std::move(altra.sql_)),
      generazione_(altra.generazione_)
{
    altra.stmt_ = nullptr;
}

Istruzione::~Istruzione()
{
    if (stmt_) db_->restituisci(sql_, stmt_, generazione_);
}

void Istruzione::controlla(int rc) const
{
    if (rc == SQLITE_OK) return;
    const char *testo = sqlite3_errmsg(sqlite3_db_handle(stmt_));
    throw ErroreDatabase(rc, QString::fromUtf8(testo ? testo : sqlite3_errstr(rc)));
}

Istruzione &Istruzione::lega(int i, const QString &valore)
{
    // A null QString is still text: an empty track name is stored as ''.
    const QByteArray utf8 = valore.toUtf8();
    controlla(sqlite3_bind_text(stmt_, i, utf8.constData() ? utf8.constData() : "", utf8.size(),
                                SQLITE_TRANSIENT));
    return *this;
}

Istruzione &Istruzione::lega(int i, double valore)
{
    controlla(sqlite3_bind_double(stmt_, i, valore));
    return *this;
}

Istruzione &Istruzione::lega(int i, qint64 valore)
{
    controlla(sqlite3_bind_int64(stmt_, i, valore));
    return *this;
}

Istruzione &Istruzione::lega(int i, const QVariant &valore)
{
    if (!valore.isValid() || valore.isNull()) return legaNullo(i);
    switch (valore.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return lega(i, valore.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return lega(i, valore.toDouble());
    default:
        return lega(i, valore.toString());
    }
}

Istruzione &Istruzione::legaNullo(int i)
{
    controlla(sqlite3_bind_null(stmt_, i));
    return *this;
}

bool Istruzione::passo()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // The error text is only complete after the reset.
    sqlite3_reset(stmt_);
    controlla(rc);
    return false;
}

void Istruzione::esegui()
{
    while (passo()) {
    }
}

int Istruzione::colonne() const { return sqlite3_column_count(stmt_); }

QString Istruzione::nomeColonna(int c) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, c));
}

bool Istruzione::nullo(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }

QString Istruzione::testo(int c) const
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, c));
    if (!t) return QString();
    return QString::fromUtf8(t, sqlite3_column_bytes(stmt_, c));
}

qint64 Istruzione::intero(int c) const { return sqlite3_column_int64(stmt_, c); }

std::optional<qint64> Istruzione::interoONullo(int c) const
{
    if (nullo(c)) return std::nullopt;
    const QVariant v = valore(c);
    if (v.typeId() == QMetaType::Double) return qRound64(v.toDouble());
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

double Istruzione::reale(int c) const { return sqlite3_column_double(stmt_, c); }

QVariant Istruzione::valore(int c) const
{
    switch (sqlite3_column_type(stmt_, c)) {
    case SQLITE_INTEGER: return QVariant(intero(c));
    case SQLITE_FLOAT: return QVariant(reale(c));
    case SQLITE_NULL: return QVariant();
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt_, c)),
                          sqlite3_column_bytes(stmt_, c));
    default: return QVariant(testo(c));
    }
}

// ---------------------------------------------------------------------------
// Database

namespace {
// SQL function testoTempo(secondi): the time text of a total, for the rebuild
// of the standings in one statement.
void funzioneTestoTempo(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray testo = testoTempoTotale(sqlite3_value_double(argv[0])).toUtf8();
    sqlite3_result_text(ctx, testo.constData(), testo.size(), SQLITE_TRANSIENT);
}

// SQL function piega(testo): the text with its letter case folded in full for every alphabet,
// since the engine's own LIKE ignores the case of ASCII letters only ('ò' against 'Ò', 'ß' against 'SS').
void funzionePiega(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *testo = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray piegato =
        piegaCompleta(QString::fromUtf8(testo, sqlite3_value_bytes(argv[0]))).toUtf8();
    sqlite3_result_text(ctx, piegato.constData(), piegato.size(), SQLITE_TRANSIENT);
}
} // namespace

Database::Database() = default;

Database::~Database() { chiudi(); }

void Database::errore(int rc) const
{
    const char *testo = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    throw ErroreDatabase(rc, QString::fromUtf8(testo ? testo : "?"));
}

void Database::apri(const QString &percorso, const QString &password, bool crea)
{
    chiudi();
    sqlite3 *db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (crea ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(QFile::encodeName(percorso).constData(), &db, flags, nullptr);
    auto fallito = [&](int codice) {
        QString testo = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(codice));
        if (codice == SQLITE_CANTOPEN) testo += QStringLiteral(" (") + percorso + QLatin1Char(')');
        sqlite3_close_v2(db);
        throw ErroreDatabase(codice, testo);
    };
    if (rc != SQLITE_OK) fallito(rc);
    if (!password.isEmpty()) {
        const QByteArray chiave = password.toUtf8();
        rc = sqlite3_key(db, chiave.constData(), chiave.size());
        if (rc != SQLITE_OK) fallito(rc);
    }
    // Another connection may be committing: even the first read waits for it.
    sqlite3_busy_timeout(db, attesaPredefinitaMs);
    // The key is only checked when the file is first read.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fallito(rc);
    // The closed file alone must be the whole database: saved sessions copy it.
    rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fallito(rc);
    db_ = db;
    percorso_ = percorso;
    ++generazione_;
    registraFunzioni();
}

void Database::registraFunzioni()
{
    sqlite3_create_function(db_, "testoTempo", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            funzioneTestoTempo, nullptr, nullptr);
    sqlite3_create_function(db_, "piega", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            funzionePiega, nullptr, nullptr);
}

void Database::chiudi()
{
    if (!db_) return;
    for (sqlite3_stmt *s : std::as_const(cache_)) sqlite3_finalize(s);
    cache_.clear();
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    // Statements still borrowed are finalized by their owners; close_v2 waits for them.
    sqlite3_close_v2(db_);
    db_ = nullptr;
    ++generazione_;
}

void Database::esegui(const QString &sql)
{
    if (!db_) throw ErroreDatabase(SQLITE_MISUSE, QStringLiteral("database non aperto"));
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) errore(rc);
}

Istruzione Database::prepara(const char *sql) { return prepara(QString::fromUtf8(sql)); }

Istruzione Database::prepara(const QString &sql)
{
    if (!db_) throw ErroreDatabase(SQLITE_MISUSE, QStringLiteral("database non aperto"));
    QByteArray testo = sql.toUtf8();
    sqlite3_stmt *stmt = cache_.take(testo);
    if (!stmt) {
        const int rc = sqlite3_prepare_v2(db_, testo.constData(), testo.size(), &stmt, nullptr);
        if (rc != SQLITE_OK) errore(rc);
        if (!stmt) throw ErroreDatabase(SQLITE_MISUSE, QStringLiteral("istruzione vuota"));
    }
    return Istruzione(this, stmt, std::move(testo), generazione_);
}

void Database::restituisci(const QByteArray &sql, sqlite3_stmt *stmt, quint64 generazione)
{
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    // A statement of an earlier connection, or a second copy of a cached one, goes.
    if (generazione != generazione_ || !db_ || cache_.contains(sql)) {
        sqlite3_finalize(stmt);
        return;
    }
    cache_.insert(sql, stmt);
}

int Database::modificate() const { return db_ ? sqlite3_changes(db_) : 0; }

qint64 Database::ultimoId() const { return db_ ? sqlite3_last_insert_rowid(db_) : 0; }

bool Database::inTransazione() const { return db_ && !sqlite3_get_autocommit(db_); }

void Database::impostaAttesa(int ms)
{
    if (db_) sqlite3_busy_timeout(db_, ms);
}

qint64 Database::versioneDati()
{
    Istruzione q = prepara("PRAGMA data_version");
    return q.passo() ? q.intero(0) : 0;
}

QString Database::controlloIntegrita()
{
    // The engine stops at a page it cannot read; the rows it gave until then say more.
    QStringList problemi;
    try {
        Istruzione q = prepara("PRAGMA integrity_check");
        while (q.passo()) problemi.append(q.testo(0));
    } catch (const ErroreDatabase &e) {
        if (problemi.isEmpty()) problemi.append(e.descrizione());
    }
    if (problemi == QStringList{QStringLiteral("ok")}) return {};
    QString primo = problemi.value(0);
    primo.remove(QStringLiteral("*** in database main ***")); // the engine's heading of the list
    return primo.trimmed().section(QLatin1Char('\n'), 0, 0);
}

QString Database::nonNormale(const QString &percorso)
{
    const QFileInfo info(percorso); // a link is judged by what it leads to
    if (!info.exists() || info.isFile() || info.isDir()) return {};
    std::error_code ec;
    const auto tipo = std::filesystem::status(QFile::encodeName(percorso).toStdString(), ec).type();
    const QString cosa = tipo == std::filesystem::file_type::fifo ? QStringLiteral("una pipe (FIFO)")
        : tipo == std::filesystem::file_type::character || tipo == std::filesystem::file_type::block
            ? QStringLiteral("un dispositivo")
        : tipo == std::filesystem::file_type::socket ? QStringLiteral("un socket")
                                                     : QStringLiteral("un file speciale");
    return QStringLiteral("non è un file normale ma ") + cosa;
}

bool Database::verificaFile(const QString &percorso, const QString &password, QString *errore, qint64 *byteLiberi)
{
    auto ko = [&](const QString &motivo) {
        if (errore) *errore = motivo;
        return false;
    };
    // Never opened unless it is a plain file: a pipe would hang the program, a device never ends.
    const QFileInfo info(percorso);
    if (!info.exists()) return ko(QStringLiteral("file non trovato"));
    if (info.isDir()) return ko(QStringLiteral("è una cartella, non un file"));
    if (const QString speciale = Database::nonNormale(percorso); !speciale.isEmpty()) return ko(speciale);
    if (info.size() == 0) return ko(QStringLiteral("file vuoto"));
    Database db;
    try {
        db.apri(percorso, password, false);
    } catch (const ErroreDatabase &e) {
        return ko(ErroreDatabase::motivoItaliano(e.codice(), e.descrizione()));
    }
    const QString guasto = db.controlloIntegrita();
    if (!guasto.isEmpty()) return ko(QStringLiteral("il file è danneggiato: ") + guasto);
    try {
        const QString diverso = schema::differenze(db);
        if (!diverso.isEmpty()) return ko(diverso);
        if (byteLiberi) {
            auto pragma = [&](const char *sql) {
                Istruzione q = db.prepara(sql);
                return q.passo() ? q.intero(0) : 0;
            };
            const qint64 usate = pragma("PRAGMA page_count") - pragma("PRAGMA freelist_count");
            *byteLiberi = qMax<qint64>(0, info.size() - usate * pragma("PRAGMA page_size"));
        }
    } catch (const ErroreDatabase &e) {
        return ko(QStringLiteral("lo schema non si legge: ") + e.descrizione());
    }
    return true;
}

// ---------------------------------------------------------------------------
// Transazione

Transazione::Transazione(Database &db) : db_(db) { db_.esegui(QStringLiteral("BEGIN IMMEDIATE")); }

Transazione::~Transazione()
{
    // A failed statement may already have ended the transaction.
    if (!chiusa_ && db_.inTransazione()) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transazione::conferma()
{
    db_.esegui(QStringLiteral("COMMIT"));
    chiusa_ = true;
}

#pragma once
#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

class Database;
struct TabellaDati;

// A read-only table of whatever an SQL query yields on the timing database:
// the header shows the field names, then one row per record in the order the
// query gives them. `aggiorna` re-runs the query, as a data control's refresh.
class ModelloQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    ModelloQuery(Database &db, const QString &sql, QObject *parent = nullptr);
    // A table filled from rows read elsewhere (`imposta`), with no query of its own.
    explicit ModelloQuery(QObject *parent = nullptr);

    // Changes the query (and its bound parameters); takes effect at the next aggiorna.
    void impostaQuery(const QString &sql, const QVariantList &parametri = {});
    QString query() const { return sql_; }

    // Re-runs the query. Throws ErroreDatabase and then keeps what it showed.
    void aggiorna();
    // Shows rows read elsewhere, as a refresh would.
    void imposta(const TabellaDati &tabella);
    // Shows nothing at all, not even the header (a database that is not open).
    void svuota();

    void impostaAllineamento(int colonna, Qt::Alignment allineamento);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The record values, as the engine holds them (for reports and tests).
    QVariant valore(int riga, int colonna) const;
    QStringList campi() const { return campi_; }

private:
    Database *db_ = nullptr;
    QString sql_;
    QVariantList parametri_;
    QStringList campi_;
    QVector<QVector<QVariant>> righe_;
    QHash<int, Qt::Alignment> allineamenti_;
};

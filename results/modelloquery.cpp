#include "results/modelloquery.h"

#include "database/database.h"
#include "database/risultati.h"

ModelloQuery::ModelloQuery(Database &db, const QString &sql, QObject *parent)
    : QAbstractTableModel(parent), db_(&db), sql_(sql)
{
}

ModelloQuery::ModelloQuery(QObject *parent) : QAbstractTableModel(parent) {}

void ModelloQuery::impostaQuery(const QString &sql, const QVariantList &parametri)
{
    sql_ = sql;
    parametri_ = parametri;
}

void ModelloQuery::aggiorna()
{
    if (!db_) throw ErroreDatabase(0, QStringLiteral("nessuna query"));
    imposta(leggiTabella(*db_, sql_, parametri_));
}

void ModelloQuery::imposta(const TabellaDati &tabella)
{
    beginResetModel();
    campi_ = tabella.campi;
    righe_ = tabella.righe;
    endResetModel();
}

void ModelloQuery::svuota()
{
    beginResetModel();
    campi_.clear();
    righe_.clear();
    endResetModel();
}

void ModelloQuery::impostaAllineamento(int colonna, Qt::Alignment allineamento)
{
    allineamenti_.insert(colonna, allineamento);
    if (!righe_.isEmpty() && colonna < campi_.size())
        emit dataChanged(index(0, colonna), index(righe_.size() - 1, colonna),
                         {Qt::TextAlignmentRole});
}

int ModelloQuery::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : righe_.size();
}

int ModelloQuery::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : campi_.size();
}

QVariant ModelloQuery::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= righe_.size() || index.column() >= campi_.size())
        return {};
    if (role == Qt::DisplayRole) {
        const QVariant &v = righe_[index.row()][index.column()];
        return v.isNull() ? QVariant(QString()) : QVariant(v.toString());
    }
    if (role == Qt::TextAlignmentRole) {
        const auto it = allineamenti_.constFind(index.column());
        if (it != allineamenti_.constEnd()) return QVariant::fromValue(it.value());
    }
    return {};
}

QVariant ModelloQuery::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return campi_.value(section);
    return {};
}

Qt::ItemFlags ModelloQuery::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant ModelloQuery::valore(int riga, int colonna) const
{
    if (riga < 0 || riga >= righe_.size() || colonna < 0 || colonna >= campi_.size()) return {};
    return righe_[riga][colonna];
}

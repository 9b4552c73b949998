#include "window/listing_model.h"

namespace window {

namespace {

// Names are bytes; what is not UTF-8 is replaced for display only.
QString displayed(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ListingModel::ListingModel(const core::ListingTable &table, QObject *parent)
    : QAbstractTableModel(parent)
    , m_table(table)
{
}

int ListingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_table.rowCount() - 1;
}

int ListingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : core::ListingTable::kColumns;
}

QVariant ListingModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return displayed(m_table.cell(index.column(), index.row() + 1));
}

QVariant ListingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return displayed(m_table.cell(section, 0));
}

Qt::ItemFlags ListingModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

ListingModel::Change::Change(ListingModel &model)
    : m_model(model)
{
    m_model.beginResetModel();
}

ListingModel::Change::~Change()
{
    m_model.endResetModel();
}

} // namespace window

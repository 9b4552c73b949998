#include "window/qt/listing_model.h"

#include "core/listing_texts.h"

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
    return parent.isValid() ? 0 : static_cast<int>(core::shownRowCount(m_table));
}

int ListingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : core::kColumnCount;
}

QVariant ListingModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    // The grid draws itself while a listing rebuilds the table; an index it kept from before may
    // point past the rows there are so far, and reads nothing then.
    if (static_cast<std::size_t>(index.row()) >= core::shownRowCount(m_table))
        return {};
    std::string text;
    core::appendShownCell(text, m_table, static_cast<core::Column>(index.column()),
        static_cast<std::size_t>(index.row()));
    return displayed(text);
}

QVariant ListingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    if (section < 0 || section >= core::kColumnCount)
        return {};
    return displayed(std::string(core::columnHeader(static_cast<core::Column>(section))));
}

Qt::ItemFlags ListingModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace window

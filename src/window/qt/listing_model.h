#pragma once

#include "core/listing_table.h"

#include <QAbstractTableModel>

namespace window {

// Shows the core's listing table in the grid, under the column headers, with the placeholder row
// when nothing is listed (core/listing_texts.h). It stores no text of its own and formats a cell
// only when the view asks for it, so a listing of a million files opens at once.
class ListingModel final : public QAbstractTableModel
{
public:
    explicit ListingModel(const core::ListingTable &table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Bracket every change of the table: the views forget what they knew of it from
    // `beginChange` on, and see the new table at `endChange`.
    void beginChange() { beginResetModel(); }
    void endChange() { endResetModel(); }

private:
    const core::ListingTable &m_table;
};

} // namespace window

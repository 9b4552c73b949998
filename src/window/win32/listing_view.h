#pragma once

#include "core/listing_table.h"

#include <string>
#include <windows.h>

// The common controls' image list, which HIMAGELIST points to; the name is theirs.
struct _IMAGELIST; // NOLINT(bugprone-reserved-identifier)

namespace window::win32 {

// The grid `liste`: a report-mode list view that holds no text of its own. It knows only how many
// rows there are and asks for the cells of the rows it draws, which are formatted from the core's
// table then; so a listing of a million files shows at once.
class ListingView
{
public:
    // Creates the list view as child `id` of `parent`, with the columns' headers and no rows.
    ListingView(HWND parent, int id, const core::ListingTable &table);
    ListingView(const ListingView &) = delete;
    ListingView &operator=(const ListingView &) = delete;

    HWND handle() const { return m_list; }

    // The columns' widths and the rows' height for `dpi` dots per inch.
    void scale(int dpi);
    // Before the table changes: the rows go, and the table is not read until `changed`.
    void changing();
    // The table as it stands now.
    void changed();
    // Answers the list view's notification `header` when it asks for a cell; false for any other.
    bool answer(const NMHDR &header);

private:
    HWND m_list;
    const core::ListingTable &m_table;
    bool m_readable = false;
    ::_IMAGELIST *m_rowHeight = nullptr;
    std::string m_cell;
};

} // namespace window::win32

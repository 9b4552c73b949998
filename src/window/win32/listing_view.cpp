#include "window/win32/listing_view.h"

#include "core/listing_texts.h"
#include "platform/win32/wide_text.h"

#include <algorithm>
#include <array>
#include <commctrl.h>
#include <stdexcept>

namespace window::win32 {

namespace {

constexpr std::array<int, core::kColumnCount> kColumnWidths = { 239, 84, 65, 64, 341 };
constexpr int kRowHeight = 20;

} // namespace

ListingView::ListingView(HWND parent, int id, const core::ListingTable &table)
    : m_list(CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0,
        0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
        nullptr))
    , m_table(table)
{
    if (!m_list)
        throw std::runtime_error("the list view cannot be created");
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int column = 0; column < core::kColumnCount; ++column) {
        const std::wstring header
            = platform::win32::wideFromUtf8(core::columnHeader(static_cast<core::Column>(column)));
        LVCOLUMNW format {};
        format.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        // Sizes line up at their last digit.
        format.fmt = column == static_cast<int>(core::Column::Size) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        format.cx = kColumnWidths[static_cast<std::size_t>(column)];
        format.pszText = const_cast<wchar_t *>(header.c_str());
        ListView_InsertColumn(m_list, column, &format);
    }
}

void ListingView::scale(int dpi)
{
    for (int column = 0; column < core::kColumnCount; ++column)
        ListView_SetColumnWidth(
            m_list, column, MulDiv(kColumnWidths[static_cast<std::size_t>(column)], dpi, 96));
    // A list view makes its rows as high as its small images: an empty image of the row's height.
    const HIMAGELIST rows = ImageList_Create(1, MulDiv(kRowHeight, dpi, 96), ILC_COLOR, 1, 0);
    ListView_SetImageList(m_list, rows, LVSIL_SMALL);
    if (m_rowHeight)
        ImageList_Destroy(m_rowHeight);
    m_rowHeight = rows;
}

void ListingView::changing()
{
    m_readable = false;
    ListView_DeleteAllItems(m_list);
}

void ListingView::changed()
{
    m_readable = true;
    ListView_SetItemCountEx(m_list, static_cast<int>(core::shownRowCount(m_table)), 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

bool ListingView::answer(const NMHDR &header)
{
    if (header.hwndFrom != m_list || header.code != LVN_GETDISPINFOW)
        return false;
    LVITEMW &item = reinterpret_cast<NMLVDISPINFOW *>(const_cast<NMHDR *>(&header))->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return true;
    m_cell.clear();
    if (m_readable && item.iItem >= 0 && item.iSubItem >= 0 && item.iSubItem < core::kColumnCount)
        core::appendShownCell(m_cell, m_table, static_cast<core::Column>(item.iSubItem),
            static_cast<std::size_t>(item.iItem));
    const std::wstring text = platform::win32::wideFromUtf8(m_cell);
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::copy_n(text.data(), length, item.pszText);
    item.pszText[length] = L'\0';
    return true;
}

} // namespace window::win32

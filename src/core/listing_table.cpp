#include "core/listing_table.h"

#include "core/number_format.h"
#include "core/sort_key.h"

#include <algorithm>

namespace core {

ListingTable::ListingTable(const platform::LocaleFormats &formats)
    : m_dateFormat(formats.shortDate, formats)
    , m_timeFormat(formats.longTime, formats)
    , m_thousandsSeparator(formats.thousandsSeparator)
{
}

void ListingTable::reset()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_names.clear();
    m_directories.clear();
    m_directories.shrink_to_fit();
    m_emptyListing = false;
    m_style = CellStyle::Age;
    m_cachedDirectory = kNoParent;
    m_cachedPath.clear();
}

void ListingTable::setEmptyListing()
{
    reset();
    m_emptyListing = true;
}

std::uint32_t ListingTable::addDirectory(
    std::uint32_t parent, std::string_view name, const platform::EntryIdentity &identity)
{
    m_directories.push_back({ parent, std::string(name), identity, false });
    return static_cast<std::uint32_t>(m_directories.size() - 1);
}

void ListingTable::addFile(std::uint32_t directory, const platform::FileEntry &entry)
{
    m_emptyListing = false;
    m_rows.push_back({ directory, static_cast<std::uint32_t>(entry.name.size()),
        m_names.add(entry.name), entry.sizeBytes, entry.modified, entry.identity });
}

void ListingTable::removeFiles(std::vector<std::size_t> rows)
{
    if (rows.empty())
        return;
    // One pass that moves every row kept up over those taken out.
    std::sort(rows.begin(), rows.end());
    std::size_t kept = rows.front();
    auto next = rows.begin();
    for (std::size_t row = rows.front(); row < m_rows.size(); ++row) {
        if (next != rows.end() && *next == row) {
            ++next;
            noteOther(m_rows[row].directory);
            continue;
        }
        m_rows[kept++] = m_rows[row];
    }
    m_rows.resize(kept);
}

const ListingTable::Row *ListingTable::dataRow(std::size_t row) const
{
    return row < m_rows.size() ? &m_rows[row] : nullptr;
}

std::string ListingTable::directoryPath(std::uint32_t index) const
{
    std::string path;
    appendDirectoryPath(path, index);
    return path;
}

void ListingTable::appendDirectoryPath(std::string &out, std::uint32_t index) const
{
    if (index == m_cachedDirectory) {
        out += m_cachedPath;
        return;
    }
    // Gather the chain from the directory up to the listed one, then write it top down.
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = index; at != kNoParent; at = m_directories[at].parent)
        chain.push_back(at);
    m_cachedPath.clear();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        m_cachedPath += m_directories[*it].name;
    m_cachedDirectory = index;
    out += m_cachedPath;
}

void ListingTable::appendCell(std::string &out, Column column, std::size_t row) const
{
    const Row *data = dataRow(row);
    if (!data)
        return;
    const bool age = m_style == CellStyle::Age;
    switch (column) {
    case Column::Name:
        out += m_names.get(data->nameOffset, data->nameLength);
        break;
    case Column::Size:
        if (age) {
            appendGrouped(out, data->sizeBytes / 1024, m_thousandsSeparator);
            out += " kb";
        }
        break;
    case Column::Date:
        if (age)
            m_dateFormat.append(out, data->modified);
        else
            appendKeyDate(out, data->modified);
        break;
    case Column::Time:
        if (age)
            m_timeFormat.append(out, data->modified);
        else
            appendKeyTime(out, data->modified);
        break;
    case Column::Directory:
        appendDirectoryPath(out, data->directory);
        break;
    }
}

std::string ListingTable::cell(Column column, std::size_t row) const
{
    std::string text;
    appendCell(text, column, row);
    return text;
}

void ListingTable::appendPath(std::string &out, std::size_t row) const
{
    appendCell(out, Column::Directory, row);
    appendCell(out, Column::Name, row);
}

std::string ListingTable::path(std::size_t row) const
{
    std::string text;
    appendPath(text, row);
    return text;
}

std::string_view ListingTable::fileName(std::size_t row) const
{
    const Row *data = dataRow(row);
    return data ? m_names.get(data->nameOffset, data->nameLength) : std::string_view();
}

std::uint64_t ListingTable::fileSize(std::size_t row) const
{
    const Row *data = dataRow(row);
    return data ? data->sizeBytes : 0;
}

std::uint32_t ListingTable::fileDirectory(std::size_t row) const
{
    const Row *data = dataRow(row);
    return data ? data->directory : kNoParent;
}

const platform::EntryIdentity &ListingTable::fileIdentity(std::size_t row) const
{
    static const platform::EntryIdentity none;
    const Row *data = dataRow(row);
    return data ? data->identity : none;
}

} // namespace core

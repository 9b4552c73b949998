#pragma once

#include "core/name_store.h"
#include "platform/date_time_format.h"
#include "platform/dir_search.h"
#include "platform/locale_formats.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The table of selected files: five text columns under one header row, one data row per listed
// file, or the placeholder row when nothing is listed. Rows are stored compactly (the directory
// as an index into a tree of directories, the name bytes, size, time and identity) and their
// cells are formatted only when read, so a million rows cost a million small records rather than
// five million strings. Row numbers follow the grid: row 0 is the header, data rows start at 1.
class ListingTable
{
public:
    static constexpr int kColumns = 5;
    static constexpr std::uint32_t kNoParent = UINT32_MAX;

    // A directory that holds listed files: the listed directory itself (its path as given, ending
    // in "/", no parent) or a subdirectory (its name and "/", below its parent).
    struct Directory
    {
        std::uint32_t parent = kNoParent;
        std::string name;
        platform::EntryIdentity identity;
    };

    // How the size, date and time cells of the rows read: age mode shows the size and the
    // locale's date and time; count mode no size and the fixed "yyyymmdd" and "hhmmss".
    enum class CellStyle { Age, Count };

    explicit ListingTable(const platform::LocaleFormats &formats);

    void setHeader(const std::array<std::string_view, kColumns> &header);

    // Back to the header and one empty data row, in age style.
    void reset();
    void setCellStyle(CellStyle style) { m_style = style; }
    // The empty listing: one data row holding the placeholder text. Its cells read as the grid
    // shows them, but it is known by this flag, never by its text, so a file of that name is
    // still a file.
    void setEmptyListing();

    std::uint32_t addDirectory(
        std::uint32_t parent, std::string_view name, const platform::EntryIdentity &identity);
    void addFile(std::uint32_t directory, const platform::FileEntry &entry);

    // Rows including the header; never below 2.
    int rowCount() const;
    std::size_t fileCount() const { return m_rows.size(); }
    bool isEmptyListing() const { return m_emptyListing; }

    // The text of a cell, as the grid shows it. Out-of-range cells are empty.
    std::string cell(int column, int row) const;
    void appendCell(std::string &out, int column, int row) const;

    // What the deletion needs of data row `row` (1-based, as the grid counts).
    std::string_view fileName(int row) const;
    std::uint32_t fileDirectory(int row) const;
    const platform::EntryIdentity &fileIdentity(int row) const;
    const Directory &directory(std::uint32_t index) const { return m_directories[index]; }
    std::size_t directoryCount() const { return m_directories.size(); }
    // The path of a directory as given for the listed one, ending in "/".
    std::string directoryPath(std::uint32_t index) const;

private:
    struct Row
    {
        std::uint32_t directory;
        std::uint32_t nameLength;
        std::uint64_t nameOffset;
        std::uint64_t sizeBytes;
        platform::LocalTime modified;
        platform::EntryIdentity identity;
    };

    const Row *dataRow(int row) const;
    void appendDirectoryPath(std::string &out, std::uint32_t index) const;

    std::array<std::string, kColumns> m_header;
    std::deque<Row> m_rows;
    NameStore m_names;
    std::vector<Directory> m_directories;
    bool m_emptyListing = false;
    CellStyle m_style = CellStyle::Age;

    platform::DateTimeFormat m_dateFormat;
    platform::DateTimeFormat m_timeFormat;
    std::string m_thousandsSeparator;
    // Consecutive rows mostly share a directory; its path is built once for them.
    mutable std::uint32_t m_cachedDirectory = kNoParent;
    mutable std::string m_cachedPath;
};

} // namespace core

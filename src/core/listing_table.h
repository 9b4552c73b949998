#pragma once

#include "core/name_store.h"
#include "platform/date_time_format.h"
#include "platform/dir_search.h"
#include "platform/locale_formats.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The five columns of a listing, in the order they are shown.
enum class Column { Name, Size, Date, Time, Directory };
inline constexpr int kColumnCount = 5;

// The table of selected files: one row per listed file, numbered from 0, each with five cells.
// Rows are stored compactly (the directory as an index into a tree of directories, the name
// bytes, size, time and identity) and their cells are formatted only when read, so a million rows
// cost a million small records rather than five million strings. The header and the placeholder
// row are the concern of whatever shows the table (messages.h holds their texts).
class ListingTable
{
public:
    static constexpr std::uint32_t kNoParent = UINT32_MAX;

    // A directory searched: the listed directory itself (its path as given, ending
    // in "/", no parent) or a subdirectory (its name and "/", below its parent).
    struct Directory
    {
        std::uint32_t parent = kNoParent;
        std::string name;
        platform::EntryIdentity identity;
        // It held, at the listing, something besides listed files and subdirectories entered: a
        // file not chosen, a folder passed over.
        bool holdsOthers = false;
    };

    // How the size, date and time cells of the rows read: age mode shows the size and the
    // locale's date and time; count mode no size and the fixed "yyyymmdd" and "hhmmss".
    enum class CellStyle { Age, Count };

    explicit ListingTable(const platform::LocaleFormats &formats);

    // No rows, in age style, and not the empty listing: nothing has been listed yet.
    void reset();
    void setCellStyle(CellStyle style) { m_style = style; }
    // The empty listing: a listing was made and found nothing. It is known by this flag, never by
    // a row's text, so a file named like the placeholder is still a file.
    void setEmptyListing();

    std::uint32_t addDirectory(
        std::uint32_t parent, std::string_view name, const platform::EntryIdentity &identity);
    void addFile(std::uint32_t directory, const platform::FileEntry &entry);
    // Notes that `directory` holds an entry that is neither listed nor entered.
    void noteOther(std::uint32_t directory) { m_directories[directory].holdsOthers = true; }
    // Takes the rows `rows` (in any order, each once) out again; the rows after them move up.
    // Their files stay where they are: their directories now hold others (noteOther).
    void removeFiles(std::vector<std::size_t> rows);

    std::size_t fileCount() const { return m_rows.size(); }
    bool isEmptyListing() const { return m_emptyListing; }

    // The text of a cell of row `row` (from 0), as every view of the table shows it; empty beyond
    // the last row.
    std::string cell(Column column, std::size_t row) const;
    void appendCell(std::string &out, Column column, std::size_t row) const;
    // The full path of the file of row `row`: its directory's path and its name.
    void appendPath(std::string &out, std::size_t row) const;
    std::string path(std::size_t row) const;

    // What the deletion needs of row `row`.
    std::string_view fileName(std::size_t row) const;
    std::uint32_t fileDirectory(std::size_t row) const;
    std::uint64_t fileSize(std::size_t row) const;
    const platform::EntryIdentity &fileIdentity(std::size_t row) const;
    const Directory &directory(std::uint32_t index) const { return m_directories[index]; }
    // The full path of directory `index`, ending in the path separator.
    std::string directoryPath(std::uint32_t index) const;
    std::size_t directoryCount() const { return m_directories.size(); }

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

    const Row *dataRow(std::size_t row) const;
    void appendDirectoryPath(std::string &out, std::uint32_t index) const;

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

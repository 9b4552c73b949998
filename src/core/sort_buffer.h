#pragma once

#include "core/name_store.h"
#include "platform/dir_search.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace core {

// The sort buffer of count mode: the files of one directory, read back in the order of their sort
// keys (see MakeSortKey), oldest first, and those whose time is unknown last. Entries are gathered
// as the search reports them and put in order once, when the buffer is first read after a change; a
// directory of many files is thus sorted once rather than inserted into a sorted list one file at a
// time.
class SortBuffer
{
public:
    // As many entries as the table can count in its rows.
    static constexpr std::size_t kDefaultCapacity = std::numeric_limits<std::int32_t>::max() - 2;

    explicit SortBuffer(std::size_t capacity = kDefaultCapacity)
        : m_capacity(capacity)
    {
    }

    void clear();

    // Takes a copy of `entry`. When the buffer is full or memory runs out, throws core::AppError
    // "Zeile kann nicht eingefügt werden" and holds what it held before.
    void add(const platform::FileEntry &entry);

    std::size_t size() const { return m_order.size(); }

    // The entry at `position` (0 = oldest) in key order. Its name stays valid until the buffer is
    // cleared or destroyed.
    platform::FileEntry at(std::size_t position) const;

private:
    // What the ordering looks at, kept small so that sorting moves little.
    struct Key
    {
        std::uint64_t timeNumber; // see keyTimeNumber
        const char *name;
        std::uint32_t nameLength;
        std::uint32_t entry; // index into m_entries
    };
    struct Entry
    {
        std::uint64_t sizeBytes;
        platform::LocalTime modified;
        platform::EntryIdentity identity;
    };

    platform::FileEntry entryOf(const Key &key) const;
    bool before(const Key &left, const Key &right) const;
    void sortIfNeeded() const;

    std::size_t m_capacity;
    NameStore m_names;
    std::vector<Entry> m_entries;
    mutable std::vector<Key> m_order;
    mutable bool m_sorted = true;
};

} // namespace core

#include "core/sort_buffer.h"

#include "core/errors.h"
#include "core/messages.h"
#include "core/sort_key.h"

#include <algorithm>
#include <new>

namespace core {

void SortBuffer::clear()
{
    m_names.clear();
    m_entries.clear();
    m_order.clear();
    m_sorted = true;
}

void SortBuffer::add(const platform::FileEntry &entry)
{
    if (m_order.size() >= m_capacity)
        throw AppError(std::string(messages::kCannotInsertRow));
    try {
        m_entries.push_back({ entry.sizeBytes, entry.modified, entry.identity });
        try {
            const char *name = m_names.cString(m_names.add(entry.name));
            m_order.push_back({ keyTimeNumber(entry.modified), name,
                static_cast<std::uint32_t>(entry.name.size()),
                static_cast<std::uint32_t>(m_entries.size() - 1) });
        } catch (...) {
            m_entries.pop_back();
            throw;
        }
    } catch (const std::bad_alloc &) {
        throw AppError(std::string(messages::kCannotInsertRow));
    }
    m_sorted = false;
}

platform::FileEntry SortBuffer::entryOf(const Key &key) const
{
    const Entry &entry = m_entries[key.entry];
    return { std::string_view(key.name, key.nameLength), entry.sizeBytes, entry.modified,
        entry.identity };
}

// The order of the keys that MakeSortKey builds, without building them: with two four-digit
// years the keys differ first in their 14 digits, where the numbers order them as the texts do,
// or else, after the same 15 characters, in their names.
bool SortBuffer::before(const Key &left, const Key &right) const
{
    // A file whose time is unknown is newer than any other, whatever the text of its key; so it
    // is the last to be listed and the first to be kept.
    const bool leftUnknown = left.timeNumber == kUnknownTimeNumber;
    const bool rightUnknown = right.timeNumber == kUnknownTimeNumber;
    if (leftUnknown != rightUnknown)
        return rightUnknown;
    if (left.timeNumber != kNoTimeNumber && right.timeNumber != kNoTimeNumber) {
        if (left.timeNumber != right.timeNumber)
            return left.timeNumber < right.timeNumber;
        return compareSortKeys({ left.name, left.nameLength }, { right.name, right.nameLength })
            < 0;
    }
    return compareSortKeys(MakeSortKey(entryOf(left)), MakeSortKey(entryOf(right))) < 0;
}

void SortBuffer::sortIfNeeded() const
{
    if (m_sorted)
        return;
    std::sort(m_order.begin(), m_order.end(),
        [this](const Key &left, const Key &right) { return before(left, right); });
    m_sorted = true;
}

platform::FileEntry SortBuffer::at(std::size_t position) const
{
    sortIfNeeded();
    return entryOf(m_order[position]);
}

} // namespace core

#pragma once

#include "platform/dir_search.h"
#include "platform/path_separator.h"
#include "platform/system_error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// What a directory search keeps the same way on every system: the searched directory's path, the
// paths it reports below it, how it ends, and the files it hands to the visitor. Each system's
// search keeps a stack of frames, each with the `name` of its directory (empty for the top).
class SearchRecord
{
public:
    explicit SearchRecord(const std::string &directory)
        : m_directory(withTrailingSeparator(directory))
    {
    }

    // The searched directory as given, ending in the separator.
    const std::string &directory() const { return m_directory; }
    const SearchOutcome &outcome() const { return m_outcome; }
    bool failed() const { return static_cast<bool>(m_outcome.error); }

    // The path of the directory at `level` of `stack`, ending in the separator.
    template <class Frames> std::string pathOf(const Frames &stack, std::size_t level) const
    {
        std::string path = m_directory;
        for (std::size_t at = 1; at <= level; ++at) {
            path += stack[at].name;
            path.push_back(kPathSeparator);
        }
        return path;
    }

    // Ends the search with the system's error number `error`, about the directory at `path`.
    void fail(int error, std::string path, bool inSubdirectory)
    {
        m_outcome.error = systemError(error);
        m_outcome.path = std::move(path);
        m_outcome.inSubdirectory = inSubdirectory;
    }

    // Whether reading the directory at `level` of `stack`, failing with `error`, ends the search:
    // it does for the searched directory itself and, when `outOfHandles` says the process or the
    // system has no descriptor or handle left, anywhere. Any other subdirectory that cannot be
    // read further yields nothing more.
    template <class Frames>
    bool readFailed(const Frames &stack, std::size_t level, int error, bool outOfHandles)
    {
        if (error == 0 || (level > 0 && !outOfHandles))
            return false;
        fail(error, pathOf(stack, level), level > 0);
        return true;
    }

private:
    std::string m_directory;
    SearchOutcome m_outcome;
};

// Hands the file `name` to `visitor`, its time at the two-second resolution the listing shows.
inline void reportFile(TreeVisitor &visitor, std::string_view name, std::uint64_t sizeBytes,
    const EntryIdentity &identity)
{
    FileEntry file;
    file.name = name;
    file.sizeBytes = sizeBytes;
    file.modified = localTwoSecondTime(identity.modifiedSeconds);
    file.identity = identity;
    visitor.file(file);
}

} // namespace platform

#pragma once

#include "platform/path_separator.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary folder, removed with everything in it (read-only
// files too) when the object goes. Paths given to its members are relative to it; "/" separates
// their components on every system.
class TempTree
{
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    // The directory's path, ending in the system's separator ("/", on Windows "\").
    const std::string &path() const { return m_path; }
    std::string operator/(std::string_view relative) const
    {
        return m_path + std::string(relative);
    }

    // Paths may be longer than one system call takes: they are walked a level at a time.
    // Creates the directory and any missing parents.
    void makeDirectory(std::string_view relative) const;
    // Creates (or overwrites) a file with `content`, making missing parent directories.
    void writeFile(std::string_view relative, std::string_view content = {}) const;
    // Creates a sparse file of `size` bytes.
    void writeSparseFile(std::string_view relative, std::uint64_t size) const;
    // Throws std::runtime_error where the system makes no link (Wine 8).
    void makeSymlink(std::string_view target, std::string_view relative) const;
    // Sets the modification time, without following a link.
    void setModified(std::string_view relative, std::time_t secondsSinceEpoch) const;
    std::string readFile(std::string_view relative) const;
    // A log's text in UTF-8. A log on Windows is in the system's code page: its characters are
    // decoded, and one it could not hold stays written as its code ("<U+03BB>").
    std::string readLog(std::string_view relative) const;
    bool exists(std::string_view relative) const;

private:
    std::string m_path;
};

// `path` with each "/" turned into the system's separator, as the program writes the paths it
// has listed: what a test builds with "/" compares with what the program logs.
inline std::string withSystemSeparators(std::string path)
{
    std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
    return path;
}

// The regular files below `directory` (ending in "/") in depth-first order: each directory's
// entries in the order the file system returns them, a subdirectory's files in its place. Links
// are not followed.
std::vector<std::string> regularFilesInSearchOrder(const std::string &directory);

// Seconds since the epoch of a local date and time (the zone's rules for that day).
std::time_t localEpoch(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Everything written to `file` (a std::tmpfile that stood for standard output or error), read
// from its start; the file is closed.
std::string readAndClose(std::FILE *file);

// Today's local date shifted by `days`, at the given time of day.
std::time_t localEpochDaysFromToday(int days, int hour = 0, int minute = 0, int second = 0);

} // namespace testing_support
